#include "platform/graphics/png_codec.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>

#include "platform/graphics/decode_image.h"
#include "platform/graphics/jpeg_codec.h"
#include "tests/graphics/reference_png.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace platform::graphics;

std::vector<std::uint8_t> encodeOrFail(const PixelBuffer& pixels) {
    EncodeResult encoded = encodePng(pixels);
    EXPECT_TRUE(encoded.ok()) << encoded.error();
    return encoded.ok() ? encoded.value() : std::vector<std::uint8_t>{};
}

// Our decoder undoes exactly what our encoder does to premultiplied pixels.
TEST(PngCodec, PremultipliedAlphaRoundTripsExactly) {
    PixelBuffer original(16, 16, PixelBuffer::Format::Argb32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint32_t alpha = static_cast<std::uint32_t>(y * 17);
            const std::uint32_t red = alpha * static_cast<std::uint32_t>(x) / 15;
            const std::uint32_t blue = alpha / 2;
            original.setPixel(x, y, alpha << 24 | red << 16 | blue);
        }
    auto decoded = decodePng(encodeOrFail(original));
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    EXPECT_EQ(decoded.value()->pixels().format(), PixelBuffer::Format::Argb32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(decoded.value()->pixels().pixel(x, y), original.pixel(x, y)) << x << "," << y;
}

// Recomputes each chunk's checksum wherever the chunk's length still fits the file.
void fixChecksums(std::vector<std::uint8_t>& file) {
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t length =
            std::uint32_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        if (length > file.size() - at - 12) return;
        const auto crc = static_cast<std::uint32_t>(crc32(0, &file[at + 4], 4 + length));
        for (int i = 0; i < 4; ++i)
            file[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

TEST(PngCodec, RefusesBadFilesWithAReason) {
    const auto good = encodeOrFail(*test_pictures::gradient(64, 64));

    auto truncated = good;
    truncated.resize(good.size() / 2);
    EXPECT_NE(decodePng(truncated).error().find("corrupt or truncated"), std::string::npos);

    auto damaged = good;
    damaged[good.size() / 2] ^= 0x55;  // inside the image data: its checksum no longer holds
    EXPECT_FALSE(decodePng(damaged).ok());

    // Only a chunk's stored checksum wrong, its contents whole: the image data's, the
    // header's. Damage to an ancillary chunk is let be, as libpng lets it be: nothing shown
    // comes from one.
    for (const std::size_t crcByte : {good.size() - 13, std::size_t{32}}) {
        auto wrongChecksum = good;
        wrongChecksum[crcByte] ^= 0x01;
        EXPECT_NE(decodePng(wrongChecksum).error().find("checksum"), std::string::npos);
    }
    std::vector<std::uint8_t> note;
    reference_png::putChunk(note, "tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'x'});
    note.back() ^= 0x01;
    auto damagedNote = good;
    damagedNote.insert(damagedNote.begin() + 33, note.begin(), note.end());
    EXPECT_TRUE(decodePng(damagedNote).ok());

    const std::uint8_t text[] = "GIF89a, not a PNG at all";
    EXPECT_EQ(decodePng(text).error(), "not a PNG file");
    EXPECT_FALSE(decodePng({}).ok());
}

TEST(PngDecoding, DamageAnywhereIsRefusedOrReadWithoutHarm) {
    // Every truncation and every flipped byte of a small file of each path's kind, the
    // checksums put right again so that the damage reaches the parsing behind them. Under the
    // sanitizers this finds reads past the data; here it finds crashes and hangs.
    for (const auto& kind : {reference_png::Kind{reference_png::kRgb, 8, false, false},
                             reference_png::Kind{reference_png::kRgbAlpha, 8, false, false},
                             reference_png::Kind{reference_png::kPalette, 2, true, true}}) {
        const auto good = reference_png::file(reference_png::makePicture(kind, 11, 7, 1));
        for (std::size_t length = 0; length < good.size(); ++length)
            EXPECT_FALSE(decodePng(std::span(good.data(), length)).ok()) << length;
        for (std::size_t at = 8; at < good.size(); ++at) {
            auto damaged = good;
            damaged[at] ^= 0xA5;
            fixChecksums(damaged);
            const auto decoded = decodePng(damaged);
            if (!decoded.ok()) continue;
            // A damaged size may still describe a whole picture; it is then read as one.
            const PixelBuffer& pixels = decoded.value()->pixels();
            std::uint32_t all = 0;
            for (int y = 0; y < pixels.height(); ++y)
                for (int x = 0; x < pixels.width(); ++x) all |= pixels.pixel(x, y);
            EXPECT_LE(std::int64_t{pixels.width()} * pixels.height(), 11 * 7 * 8) << at << all;
        }
    }
}

// The file's pixels as libpng reads them on its own, as straight 8-bit RGBA.
std::vector<std::uint8_t> readWithLibpng(const std::vector<std::uint8_t>& file, int& width,
                                         int& height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return {};
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return rgba;
}

// The chunks' contents of one type, joined, read with our own simple walk.
std::vector<std::uint8_t> chunkData(const std::vector<std::uint8_t>& file, const char* type) {
    std::vector<std::uint8_t> data;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t length =
            std::uint32_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        if (std::memcmp(&file[at + 4], type, 4) == 0)
            data.insert(data.end(), file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                        file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
        at += 12 + length;
    }
    return data;
}

void expectPixelsAsReference(const reference_png::Picture& reference, const ImagePtr& decoded) {
    const PixelBuffer& pixels = decoded->pixels();
    ASSERT_EQ(test_pictures::dimensions(pixels), std::pair(reference.width, reference.height));
    EXPECT_EQ(pixels.format(), reference_png::hasAlpha(reference) ? PixelBuffer::Format::Argb32
                                                                  : PixelBuffer::Format::Rgb24);
    int wrong = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x) {
            const std::uint32_t expected = reference_png::expectedPixel(reference, x, y);
            if (pixels.pixel(x, y) != expected && ++wrong <= 3)
                ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << pixels.pixel(x, y)
                              << " instead of " << expected;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(PngDecoding, EveryColourTypeBitDepthAndInterlaceAsTheReferenceShowsIt) {
    // Odd sizes leave the interlace passes partly empty and the fast rows a ragged end; the
    // smallest pictures' image data come in chunks of seven bytes.
    for (const auto& kind : reference_png::everyKind())
        for (auto [width, height] : {std::pair{37, 29}, std::pair{3, 2}, std::pair{1, 9}}) {
            SCOPED_TRACE(reference_png::describe(kind) + ", " + std::to_string(width) + "x" +
                         std::to_string(height));
            const auto picture = reference_png::makePicture(kind, width, height, 7u + width);
            const auto zlib = reference_png::compress(
                reference_png::scanlines(picture, [](int row) { return row % 5; }));
            auto decoded =
                decodePng(reference_png::fileWith(picture, zlib, width < 37 ? 7 : 1 << 20));
            ASSERT_TRUE(decoded.ok()) << decoded.error();
            expectPixelsAsReference(picture, decoded.value());
        }
}

TEST(PngDecoding, TallPicturesSpreadOverCoresWhateverTheirFilters) {
    // Decoding starts afresh only at rows that need nothing above them: with every filter
    // in turn there are such rows (though not where the picture's middle is: row 350 is Up),
    // with Paeth throughout there are none past the first.
    for (int colorType : {reference_png::kRgb, reference_png::kRgbAlpha})
        for (int paethFrom : {1, 1 << 30}) {
            const auto picture =
                reference_png::makePicture({colorType, 8, false, false}, 61, 700, 3);
            const auto file = reference_png::fileWith(
                picture, reference_png::compress(reference_png::scanlines(picture, [&](int row) {
                    return row >= paethFrom ? 4 : (row + 2) % 5;
                })));
            auto decoded = decodePng(file);
            ASSERT_TRUE(decoded.ok()) << decoded.error();
            expectPixelsAsReference(picture, decoded.value());
        }
}

TEST(PngDecoding, RefusesImageDataThatDoesNotHoldTogetherAndIgnoresWhatFollowsIt) {
    for (const auto& kind : {reference_png::Kind{reference_png::kRgb, 8, false, false},
                             reference_png::Kind{reference_png::kRgbAlpha, 8, false, false},
                             reference_png::Kind{reference_png::kRgb, 8, true, false},
                             reference_png::Kind{reference_png::kPalette, 4, false, false}}) {
        SCOPED_TRACE(reference_png::describe(kind));
        const auto picture = reference_png::makePicture(kind, 33, 21, 9);
        const auto raw = reference_png::scanlines(picture, [](int row) { return row % 5; });
        const auto zlib = reference_png::compress(raw);
        ASSERT_TRUE(decodePng(reference_png::fileWith(picture, zlib)).ok());

        // The chunks' own checksums are right; only the zlib stream's Adler-32 is wrong, in
        // the chunk with the data or in one of its own after the last row's data.
        auto badAdler = zlib;
        badAdler.back() ^= 0x01;
        EXPECT_FALSE(decodePng(reference_png::fileWith(picture, badAdler)).ok());
        EXPECT_FALSE(decodePng(reference_png::fileWith(picture, badAdler, zlib.size() - 4)).ok());

        auto shortData = raw;
        shortData.resize(raw.size() - 5);
        EXPECT_FALSE(
            decodePng(reference_png::fileWith(picture, reference_png::compress(shortData))).ok());

        // As libpng and other decoders do, data past the picture's last row is let be.
        auto extraData = raw;
        extraData.insert(extraData.end(), 40, 0);
        auto extra =
            decodePng(reference_png::fileWith(picture, reference_png::compress(extraData)));
        ASSERT_TRUE(extra.ok()) << extra.error();
        expectPixelsAsReference(picture, extra.value());

        if (kind.interlaced) continue;
        auto unknownFilter = raw;
        unknownFilter[0] = 5;
        EXPECT_FALSE(
            decodePng(reference_png::fileWith(picture, reference_png::compress(unknownFilter)))
                .ok());
    }
}

TEST(PngEncoding, AnotherDecoderReadsWhatWeWrite) {
    // Large enough to be compressed in pieces on several cores.
    auto opaque = test_pictures::gradient(700, 640);
    auto translucent = std::make_shared<PixelBuffer>(613, 700, PixelBuffer::Format::Argb32);
    for (int y = 0; y < translucent->height(); ++y)
        for (int x = 0; x < translucent->width(); ++x) {
            const auto alpha = static_cast<std::uint32_t>((x * 7 + y) % 256);
            translucent->setPixel(
                x, y,
                alpha << 24 | (alpha * (y % 9) / 9) << 16 | (alpha * (x % 5) / 5) << 8 | alpha / 3);
        }
    auto small = test_pictures::gradient(5, 3);
    // Smooth pictures compress well below their raw size.
    EXPECT_LT(encodeOrFail(*opaque).size(), 700u * 640u * 3u / 2u);
    for (const auto& original : {opaque, translucent, small}) {
        const auto file = encodeOrFail(*original);
        const bool hasAlpha = original->format() == PixelBuffer::Format::Argb32;

        // zlib inflates the image data whole and checks its Adler-32.
        const auto zlib = chunkData(file, "IDAT");
        const std::size_t rowBytes = 1 + std::size_t(original->width()) * (hasAlpha ? 4 : 3);
        std::vector<std::uint8_t> inflated(rowBytes * original->height() + 1);
        uLongf size = inflated.size();
        ASSERT_EQ(uncompress(inflated.data(), &size, zlib.data(), zlib.size()), Z_OK);
        EXPECT_EQ(size, rowBytes * original->height());

        int width = 0, height = 0;
        const auto rgba = readWithLibpng(file, width, height);
        ASSERT_EQ(width, original->width());
        ASSERT_EQ(height, original->height());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = &rgba[(std::size_t(y) * width + x) * 4];
                const std::uint32_t a = p[3];
                auto premultiplied = [a](std::uint32_t c) { return (c * a + 127) / 255; };
                const std::uint32_t shown = a << 24 | premultiplied(p[0]) << 16 |
                                            premultiplied(p[1]) << 8 | premultiplied(p[2]);
                const std::uint32_t expected =
                    hasAlpha ? original->pixel(x, y) : original->pixel(x, y) | 0xFF000000u;
                ASSERT_EQ(shown, expected) << x << "," << y;
            }
    }
}

TEST(DecodeImage, TellsFormatsApartAndReportsUnreadableFiles) {
    const auto png = encodeOrFail(*test_pictures::gradient(5, 3));
    auto decoded = decodeImage(png);
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    EXPECT_EQ(decoded.value()->pixels().width(), 5);

    const std::uint8_t bmp[] = {'B', 'M', 0, 0, 0, 0};
    EXPECT_NE(decodeImage(bmp).error().find("neither JPEG nor PNG"), std::string::npos);

    auto missing = decodeImageFile("/nonexistent/picture.png");
    EXPECT_NE(missing.error().find("/nonexistent/picture.png"), std::string::npos);
}

}  // namespace
