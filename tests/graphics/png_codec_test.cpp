#include "platform/graphics/png_codec.h"

#include <gtest/gtest.h>
#include <png.h>

#include "platform/graphics/decode_image.h"
#include "platform/graphics/png_text.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/reference_png.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace platform::graphics;
namespace ref = reference_png;
using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;
constexpr auto npos = std::string::npos;

Bytes encodeOrFail(const PixelBuffer& pixels) {
    EncodeResult encoded = encodePng(pixels);
    EXPECT_TRUE(encoded.ok()) << encoded.error();
    return encoded.ok() ? encoded.value() : Bytes{};
}

TEST(PngCodec, RefusesBadFilesWithAReason) {
    // Every truncation, whichever way the file is read (flipped bytes are left to the fuzz
    // target, which puts the checksums right again).
    for (const auto& kind : {ref::Kind{ref::kRgb}, ref::Kind{ref::kRgbAlpha},
                             ref::Kind{ref::kPalette, 2, true, true}}) {
        const Bytes file = ref::file(ref::makePicture(kind, 11, 7, 1));
        for (std::size_t length = 0; length < file.size(); ++length)
            EXPECT_FALSE(decodePng(std::span(file).first(length)).ok()) << length;
    }
    const Bytes good = encodeOrFail(*test_pictures::gradient(64, 64));
    EXPECT_NE(
        decodePng(std::span(good).first(good.size() / 2)).error().find("corrupt or truncated"),
        npos);
    // Only a chunk's stored checksum wrong, its contents whole: the image data's, the header's.
    for (const std::size_t crcByte : {good.size() - 13, std::size_t{32}}) {
        auto wrongChecksum = good;
        wrongChecksum[crcByte] ^= 0x01;
        EXPECT_NE(decodePng(wrongChecksum).error().find("checksum"), npos);
    }
    // Damage to an ancillary chunk is let be, as libpng lets it be: nothing shown comes from one.
    auto damagedNote = withPngText(good, {{"Comment", "x"}});
    damagedNote[33 + 8 + 9 + 3] ^= 0x01;  // the last byte of its checksum
    EXPECT_TRUE(decodePng(damagedNote).ok());

    const std::uint8_t text[] = "GIF89a, not a PNG at all";
    EXPECT_EQ(decodePng(text).error(), "not a PNG file");
    EXPECT_FALSE(decodePng({}).ok());
    EXPECT_NE(decodeImage(text).error().find("neither JPEG nor PNG"), npos);
    EXPECT_NE(decodeImageFile("/nonexistent/a.png").error().find("/nonexistent/a.png"), npos);
}

TEST(PngDecoding, EveryColourTypeBitDepthAndInterlaceAsTheReferenceShowsIt) {
    // Odd sizes leave the interlace passes partly empty and the fast rows a ragged end; the
    // smallest pictures' image data come in chunks of seven bytes. The tall one is decoded on
    // several cores from rows that need nothing above them: where cores would split it (at
    // every 175th row) the filters cycle from Up, so a start at a row that needs the one above
    // shows.
    for (const auto& kind : ref::everyKind())
        for (auto [width, height] : {std::pair{37, 29}, {3, 2}, {1, 9}, {61, 700}}) {
            SCOPED_TRACE(ref::describe(kind) + ", " + std::to_string(width) + "x" +
                         std::to_string(height));
            const auto picture = ref::makePicture(kind, width, height, 7u + width);
            const auto file = ref::file(
                picture, [](int row) { return (row + 2) % 5; }, width < 37 ? 7 : 8192);
            ref::expectDecodedAs(picture, decodePng(file));
        }
}

TEST(PngDecoding, RefusesImageDataThatDoesNotHoldTogetherAndIgnoresWhatFollowsIt) {
    for (const auto& kind : {ref::Kind{ref::kRgb}, ref::Kind{ref::kRgbAlpha},
                             ref::Kind{ref::kRgb, 8, true}, ref::Kind{ref::kPalette, 4}}) {
        SCOPED_TRACE(ref::describe(kind));
        const auto picture = ref::makePicture(kind, 33, 21, 9);
        const Bytes good = ref::file(picture);
        const Bytes rows = ref::inflated(good);
        ASSERT_FALSE(rows.empty());
        // The rows cut or lengthened with zeros and compressed again, the zlib stream's
        // Adler-32 wrong if asked, in the chunk with the data or in one of its own; the
        // chunks' own checksums are right.
        auto decodeWith = [&](std::size_t size, bool wrongAdler, bool adlerApart = false) {
            Bytes changed = rows;
            changed.resize(size);
            return decodePng(ref::withRows(good, changed, wrongAdler, adlerApart));
        };
        EXPECT_FALSE(decodeWith(rows.size(), true).ok());
        EXPECT_FALSE(decodeWith(rows.size(), true, true).ok());
        EXPECT_FALSE(decodeWith(rows.size() - 5, false).ok());
        // As libpng and other decoders do, data past the picture's last row is let be. libpng
        // stops at the last row and would let a wrong Adler-32 after it pass: zlib refuses
        // such a stream, and so must we.
        ref::expectDecodedAs(picture, decodeWith(rows.size() + 40, false));
        EXPECT_FALSE(decodeWith(rows.size() + 40, true).ok());

        Bytes unknownFilter = rows;
        unknownFilter[0] = 5;
        EXPECT_FALSE(decodePng(ref::withRows(good, unknownFilter)).ok());
    }
}

// The file's pixels as libpng reads them on its own, as straight 8-bit RGBA.
Bytes readWithLibpng(const Bytes& file, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
    image.format = PNG_FORMAT_RGBA;
    Bytes rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return {};
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return rgba;
}

TEST(PngEncoding, AnotherDecoderReadsWhatWeWrite) {
    // Large enough to be compressed in pieces on several cores.
    const auto opaque = test_pictures::gradient(700, 640);
    const auto translucent = test_pictures::pixelsOf(
        613, 700,
        [](int x, int y) {
            const auto alpha = static_cast<std::uint32_t>((x * 7 + y) % 256);
            return alpha << 24 | (alpha * (y % 9) / 9) << 16 | (alpha * (x % 5) / 5) << 8 |
                   alpha / 3;
        },
        PixelBuffer::Format::Argb32);
    // Smooth pictures compress well below their raw size.
    EXPECT_LT(encodeOrFail(*opaque).size(), 700u * 640u * 3u / 2u);
    for (const auto& original : {opaque, translucent, test_pictures::gradient(5, 3)}) {
        const Bytes file = encodeOrFail(*original);
        const bool hasAlpha = original->format() == PixelBuffer::Format::Argb32;
        // zlib inflates the image data whole and checks its Adler-32.
        EXPECT_EQ(ref::inflated(file).size(),
                  (1 + std::size_t(original->width()) * (hasAlpha ? 4 : 3)) * original->height());

        int width = 0, height = 0;
        const Bytes rgba = readWithLibpng(file, width, height);
        ASSERT_EQ(std::pair(width, height), test_pictures::dimensions(*original));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = &rgba[(std::size_t(y) * width + x) * 4];
                auto premultiplied = [a = p[3]](std::uint32_t c) { return (c * a + 127) / 255; };
                const std::uint32_t shown = std::uint32_t{p[3]} << 24 | premultiplied(p[0]) << 16 |
                                            premultiplied(p[1]) << 8 | premultiplied(p[2]);
                ASSERT_EQ(shown, original->pixel(x, y) | (hasAlpha ? 0 : 0xFF000000u))
                    << x << "," << y;
            }
    }
}

// The limits are the largest sizes taken: a picture exactly at one is read, one pixel more is
// refused from its header.
TEST(PictureLimits, APictureAtTheSideLimitIsReadAndOnePixelMoreIsRefused) {
    for (const auto& [width, height] : {std::pair{30000, 1}, std::pair{1, 30000}}) {
        const auto picture = ref::makePicture({}, width, height, 4);
        ref::expectDecodedAs(picture, decodePng(ref::file(picture)));
        const auto past = ref::makePicture({}, width + (width > 1), height + (height > 1), 4);
        EXPECT_NE(decodePng(ref::file(past)).error().find("exceeds"), npos);
    }
}

TEST(PictureLimits, HundredMegapixelsAreTheMostAndAreNotRefusedForTheirSize) {
    // Headers only: the image data ends at once, so the pixels are never filled.
    auto headerOf = [](std::uint32_t width, std::uint32_t height) {
        auto png = ref::file(ref::makePicture({}, 1, 1, 0));
        for (int i = 0; i < 4; ++i) {
            png[16 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
            png[20 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
        }
        return ref::withRows(png, {0, 0, 0, 0});
    };
    const auto atLimit = decodePng(headerOf(10000, 10000));
    EXPECT_FALSE(atLimit.ok());  // too little image data, or more than the memory budget
    EXPECT_EQ(atLimit.error().find("exceeds"), npos) << atLimit.error();
    EXPECT_NE(decodePng(headerOf(10000, 10001)).error().find("exceeds 100 megapixels"), npos);
}

class PngTextTest : public testing::Test {
  protected:
    Bytes picture_ = encodePng(*test_pictures::gradient(37, 23)).value();
    independent_tools::ScratchFiles files_{"png-text"};
};

TEST_F(PngTextTest, ChunksFollowTheHeaderAndAnotherReaderSeesThem) {
    const PngTexts texts = {{"Thumb::URI", "file:///home/a%20b/photo.jpg"},
                            {"Thumb::MTime", "1700000000"},
                            {"Software", "Orvex \xE9t\xE9"},  // Latin-1, as tEXt is
                            {"Empty", ""}};
    const std::map<std::string, std::string> expected(texts.begin(), texts.end());
    const Bytes tagged = withPngText(picture_, texts);

    const auto walk = independent_tools::walkPng(files_.write("tagged.png", tagged));
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_EQ(walk.chunks,
              (std::vector<std::string>{"IHDR", "tEXt", "tEXt", "tEXt", "tEXt", "IDAT", "IEND"}));
    EXPECT_EQ(walk.texts, expected);
    // The picture itself is untouched: same size, all its rows still inflate.
    EXPECT_EQ(std::pair(walk.width, walk.height), std::pair(37, 23));
    EXPECT_EQ(walk.inflatedBytes, 23u * (1 + 37 * 3));
    EXPECT_TRUE(decodePng(tagged));
    EXPECT_EQ(readPngText(tagged), expected);
}

TEST_F(PngTextTest, ReadsTextAnotherWriterPutAnywhereBeforeTheEnd) {
    // Text before and after the image data, and a compressed chunk we do not read, put into
    // libpng's file by hand.
    auto png = ref::file(ref::makePicture({}, 3, 2, 1));
    Bytes before, after;
    const auto text = [](Bytes& out, const char* type, const std::string& body) {
        ref::putChunk(out, type, {body.begin(), body.end()});
    };
    text(before, "tEXt", "Thumb::URI\0file:///x.jpg"s);
    text(after, "zTXt", "Comment\0\0not inflated"s);
    text(after, "tEXt", "Thumb::MTime\0"s + "123");
    png.insert(png.end() - 12, after.begin(), after.end());  // before the end chunk
    png.insert(png.begin() + 33, before.begin(), before.end());
    EXPECT_EQ(readPngText(png), (std::map<std::string, std::string>{{"Thumb::URI", "file:///x.jpg"},
                                                                    {"Thumb::MTime", "123"}}));
}

TEST_F(PngTextTest, DamagedFilesReadAsNothingWithoutCrashing) {
    const Bytes tagged = withPngText(picture_, {{"Thumb::MTime", "1700000000"}});
    for (std::size_t length = 0; length < tagged.size(); ++length)
        EXPECT_FALSE(readPngText(std::span(tagged).first(length))) << "cut at " << length;

    // A text chunk starts right after the 8-byte signature and the 25-byte header chunk:
    // a byte of its keyword flipped (its checksum no longer holds), its length made to reach
    // far past the end of the file; and the signature damaged.
    for (const auto& [at, flip] : {std::pair{44, 0x20}, {33, 0x7F}, {33, 0xFF}, {1, 0x01}}) {
        Bytes damaged = tagged;
        damaged[at] ^= flip;
        EXPECT_FALSE(readPngText(damaged)) << at;
    }
    EXPECT_TRUE(readPngText(tagged));
}

TEST_F(PngTextTest, RefusesWhatCannotBeWritten) {
    EXPECT_THROW(withPngText(picture_, {{"", "text"}}), std::invalid_argument);
    EXPECT_THROW(withPngText(picture_, {{std::string(80, 'k'), "text"}}), std::invalid_argument);
    EXPECT_THROW(withPngText(picture_, {{std::string("a\0b", 3), "text"}}), std::invalid_argument);
    EXPECT_THROW(withPngText(picture_, {{"Key", std::string("a\0b", 3)}}), std::invalid_argument);
    EXPECT_NO_THROW(withPngText(picture_, {{std::string(79, 'k'), "text"}}));
    const Bytes jpegLike = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16};
    EXPECT_THROW(withPngText(jpegLike, {{"Key", "text"}}), std::invalid_argument);
    EXPECT_THROW(withPngText(std::span(picture_).first(20), {{"Key", "text"}}),
                 std::invalid_argument);
}

}  // namespace
