#include "platform/graphics/jpeg_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <jpeglib.h>

#include "platform/graphics/decode_image.h"
#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/exif_thumbnail.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace platform::graphics;
using Bytes = std::vector<std::uint8_t>;
constexpr auto npos = std::string::npos;

Bytes jpegOf(int width, int height, int quality = 95) {
    return test_pictures::jpegOf(*test_pictures::gradient(width, height), quality);
}

// How far, on average over its channels, each pixel of `small` is from the mean of the block of
// `large`'s pixels it stands for (one pixel when the two are the same size).
double meanDifference(const PixelBuffer& small, const PixelBuffer& large) {
    const int block = large.width() / small.width();
    double total = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                double mean = 0;
                for (int i = 0; i < block * block; ++i)
                    mean += test_pictures::channel(
                        large.pixel(x * block + i % block, y * block + i / block), c);
                total +=
                    std::abs(mean / (block * block) - test_pictures::channel(small.pixel(x, y), c));
            }
    return total / (3.0 * small.width() * small.height());
}

TEST(JpegCodec, RoundTripKeepsSizeAndStaysCloseAndLowerQualityIsSmaller) {
    const auto original = test_pictures::gradient(203, 97);
    const Bytes file = test_pictures::jpegOf(*original, 95);
    auto decoded = decodeJpeg(file);
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    const PixelBuffer& pixels = decoded.value()->pixels();
    ASSERT_EQ(test_pictures::dimensions(pixels), std::pair(203, 97));
    EXPECT_EQ(pixels.format(), PixelBuffer::Format::Rgb24);
    EXPECT_EQ(pixels.pixel(100, 50) >> 24, 0xFFu);
    EXPECT_LT(meanDifference(pixels, *original), 2.0);
    EXPECT_EQ(decoded.value()->imageOrientation(), ImageOrientation::Up);
    EXPECT_LT(test_pictures::jpegOf(*original, 50).size(), file.size());
    const auto size = readJpegSize(file);
    ASSERT_TRUE(size);
    EXPECT_EQ(std::pair(size->width, size->height), std::pair(203, 97));
}

TEST(ExifOrientation, EachValueShowsThePictureAsExifDefinesIt) {
    // Where the stored picture's first pixel and the end of its first row show when it is
    // drawn upright, for EXIF's values 1 to 8: {at the right, at the bottom} of each.
    const bool corners[8][2][2] = {{{0, 0}, {1, 0}}, {{1, 0}, {0, 0}}, {{1, 1}, {0, 1}},
                                   {{0, 1}, {1, 1}}, {{0, 0}, {0, 1}}, {{1, 0}, {1, 1}},
                                   {{1, 1}, {1, 0}}, {{0, 1}, {0, 0}}};
    const Bytes plain = jpegOf(16, 8);
    for (int value = 0; value <= 9; ++value) {
        SCOPED_TRACE(value);
        const auto decoded = decodeJpeg(withExifOrientation(plain, value));
        ASSERT_TRUE(decoded.ok()) << decoded.error();
        const ImageOrientation tag = decoded.value()->imageOrientation();
        const int v = value >= 1 && value <= 8 ? value : 1;  // any other is read as upright
        const bool sideways = test_pictures::swapsSides(tag);
        for (int end = 0; end < 2; ++end) {
            const auto [x, y] = test_pictures::uprightPosition(tag, 15 * end, 0, 16, 8);
            EXPECT_EQ(x == (sideways ? 7 : 15), corners[v - 1][end][0]) << end;
            EXPECT_EQ(y == (sideways ? 15 : 7), corners[v - 1][end][1]) << end;
        }
    }
}

// Rewrites the frame header's size fields.
void setFrameSize(Bytes& jpeg, int width, int height) {
    const std::uint8_t marker[] = {0xFF, 0xC0};
    const auto frame = std::search(jpeg.begin(), jpeg.end(), marker, marker + 2);
    ASSERT_NE(frame, jpeg.end()) << "no baseline frame header";
    for (int i = 0; i < 2; ++i) {
        frame[5 + i] = static_cast<std::uint8_t>(height >> (8 - 8 * i));
        frame[7 + i] = static_cast<std::uint8_t>(width >> (8 - 8 * i));
    }
}

TEST(JpegCodec, RefusesBadFilesWithAReason) {
    const Bytes good = jpegOf(64, 64);
    Bytes garbledHeader(good.begin(), good.begin() + 3);
    garbledHeader.resize(400, 0x17);
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes tooWide = good, tooMany = good;
    setFrameSize(tooWide, 40000, 8);
    setFrameSize(tooMany, 12000, 12000);
    // A reduced decode refuses alike: the limits apply to the stored size.
    for (const auto& decode : {decodeJpeg, +[](std::span<const std::uint8_t> bytes) {
                                   return decodeJpegScaled(bytes, 64);
                               }}) {
        const std::span truncated = std::span(good).first(good.size() * 2 / 3);
        EXPECT_NE(decode(truncated).error().find("corrupt or truncated"), npos);
        EXPECT_NE(decode(garbledHeader).error().find("corrupt JPEG header"), npos);
        EXPECT_EQ(decode(png).error(), "not a JPEG file");
        EXPECT_NE(decode(tooWide).error().find("30000 pixels on a side"), npos);
        EXPECT_NE(decode(tooMany).error().find("100 megapixels"), npos);
    }
    EXPECT_FALSE(readJpegSize(png));
    EXPECT_FALSE(encodeJpeg(PixelBuffer(0, 5, PixelBuffer::Format::Rgb24)).ok());
}

TEST(JpegCodec, AnExifBlockRunningPastTheEndIsIgnored) {
    const Bytes photo = jpegOf(64, 48);
    const auto expected = decodeJpeg(photo).value();
    // An EXIF block that says the photograph is sideways, in a segment that claims more
    // bytes than the file holds; in one file it carries a thumbnail of another size.
    const Bytes exif = {'E',  'x',  'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                        0x01, 0x12, 0,   3,   0, 0, 0,   1,   0, 6,  0, 0, 0, 0, 0, 0};
    const independent_tools::ScratchFiles files("damaged-exif");
    for (const bool thumbnail : {false, true}) {
        Bytes file = {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xF0};
        file.insert(file.end(), exif.begin(), exif.end());
        if (thumbnail) {
            const Bytes small = jpegOf(16, 12);
            file.insert(file.end(), small.begin(), small.end());
        }
        file.insert(file.end(), photo.begin() + 2, photo.end());
        for (const auto& decoded :
             {decodeJpeg(file), decodeImageFile(files.write("damaged.jpg", file))}) {
            ASSERT_TRUE(decoded.ok()) << decoded.error();
            EXPECT_EQ(decoded.value()->imageOrientation(), ImageOrientation::Up);
            ASSERT_EQ(decoded.value()->pixels().width(), 64);
            EXPECT_EQ(decoded.value()->pixels().pixel(40, 30), expected->pixels().pixel(40, 30));
        }
    }
}

TEST(PixelMemory, LargeBlocksAreReusedAfterRelease) {
    PixelMemory::releaseCached();
    const std::uint8_t* first = nullptr;
    {
        PixelBuffer large(1024, 1024, PixelBuffer::Format::Rgb24);
        first = large.data();
    }
    EXPECT_GE(PixelMemory::cachedBytes(), 4u << 20);
    PixelBuffer again(1000, 1000, PixelBuffer::Format::Argb32);
    EXPECT_EQ(again.data(), first);
    EXPECT_EQ(again.pixel(999, 999), 0u);  // zeroed even when reused
}

TEST(JpegScaledDecode, TakesTheSmallestReductionStillReachingTheTarget) {
    // The decoder reduces in eighths; the next smaller eighth must fall short of the target.
    const int cases[][3] = {{4000, 3000, 256}, {1000, 800, 256}, {800, 1000, 256}, {1030, 400, 128},
                            {640, 480, 300},   {512, 512, 256},  {300, 200, 256}};
    for (const auto& [width, height, target] : cases) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " for " << target);
        const DecodeResult decoded = decodeJpegScaled(jpegOf(width, height, 90), target);
        ASSERT_TRUE(decoded) << decoded.error();
        const auto& pixels = decoded.value()->pixels();
        const int full = std::max(width, height);
        const int got = std::max(pixels.width(), pixels.height());
        if (full < target) {
            EXPECT_EQ(got, full);  // nothing reaches it: never enlarged either
            continue;
        }
        EXPECT_GE(got, target);
        EXPECT_NEAR(double(pixels.width()) / pixels.height(), double(width) / height, 0.02);
        const int eighths = static_cast<int>(std::lround(8.0 * got / full));
        EXPECT_EQ(got, (full * eighths + 7) / 8);
        if (eighths > 1) {
            EXPECT_LT((full * (eighths - 1) + 7) / 8, target);
        }
    }
}

TEST(JpegScaledDecode, ShowsThePictureTheFullDecodeShowsAndCarriesItsTag) {
    const Bytes photo = withExifOrientation(jpegOf(1024, 768, 90), 8);
    const DecodeResult scaled = decodeJpegScaled(photo, 256);
    const DecodeResult full = decodeJpeg(photo);
    ASSERT_TRUE(scaled && full);
    EXPECT_EQ(scaled.value()->imageOrientation(), ImageOrientation::Left);
    const PixelBuffer& small = scaled.value()->pixels();
    const PixelBuffer& large = full.value()->pixels();
    ASSERT_EQ(small.width(), 256);
    EXPECT_LT(meanDifference(small, large), 2.0);
}

// A 32 × 32 picture of four flat 16 × 16 patches, each pixel's samples those of its patch
// (RGB, or inks as the file keeps them), as libjpeg's own compressor writes it: TurboJPEG
// offers none for CMYK files.
template <int components>
Bytes libjpegWrite(const std::uint8_t (&patches)[4][components], J_COLOR_SPACE stored, bool adobe) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = info.image_height = 32;
    info.input_components = components;
    info.in_color_space = components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, stored);
    info.write_Adobe_marker = adobe;
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(32 * components);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            std::copy_n(patches[(y / 16) * 2 + x / 16], components, &row[x * components]);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes file(out, out + size);
    std::free(out);
    return file;
}

// Channel c (0 red, 1 green, 2 blue) at the middle of a patch of a decoded picture.
int shown(const DecodeResult& decoded, int patch, int c) {
    const PixelBuffer& pixels = decoded.value()->pixels();
    return test_pictures::channel(pixels.pixel(8 + 16 * (patch % 2), 8 + 16 * (patch / 2)), 2 - c);
}

// Our encoder's colours are checked by its round trip through this decoder.
TEST(JpegFromLibjpeg, RgbCmykAndYcckFilesShowTheirColours) {
    constexpr std::uint8_t kRgb[4][3] = {
        {230, 20, 20}, {20, 200, 30}, {25, 30, 220}, {240, 230, 10}};
    const auto rgb = decodeJpeg(libjpegWrite(kRgb, JCS_YCbCr, false));
    ASSERT_TRUE(rgb.ok()) << rgb.error();
    for (int patch = 0; patch < 4; ++patch)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(shown(rgb, patch, c), kRgb[patch][c], 12) << patch << ", channel " << c;

    // Inks: C, M, Y, K as the file keeps them.
    constexpr std::uint8_t kInks[4][4] = {
        {200, 100, 50, 230}, {255, 255, 255, 255}, {30, 220, 120, 180}, {255, 0, 255, 128}};
    for (const auto& [stored, adobe] :
         {std::pair{JCS_CMYK, true}, {JCS_CMYK, false}, {JCS_YCCK, true}}) {
        SCOPED_TRACE(testing::Message() << "colour space " << stored << (adobe ? ", Adobe" : ""));
        const auto decoded = decodeJpeg(libjpegWrite(kInks, stored, adobe));
        ASSERT_TRUE(decoded.ok()) << decoded.error();
        // Adobe's files keep the inks inverted (255: none); others keep them as they are.
        for (int patch = 0; patch < 4; ++patch) {
            const auto clear = [&](int c) {
                return adobe ? kInks[patch][c] : 255 - kInks[patch][c];
            };
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(shown(decoded, patch, c), clear(c) * clear(3) / 255, 3)
                    << patch << ", channel " << c;
        }
    }
}

class ExifThumbnailTest : public testing::Test {
  protected:
    Bytes photo_ = jpegOf(400, 300, 90);
    Bytes thumbnail_ = jpegOf(160, 120, 80);
};

TEST_F(ExifThumbnailTest, RoundTripsWithTheOrientationAndLeavesThePhotoIntact) {
    // Noise at full quality: too large for the EXIF block, and so left out.
    std::mt19937 random(3);
    const Bytes large = test_pictures::jpegOf(
        *test_pictures::pixelsOf(320, 320, [&](int, int) { return 0xFF000000u | random(); }), 100);
    ASSERT_GT(large.size(), kMaxExifThumbnailBytes);
    for (const ImageOrientation orientation :
         {ImageOrientation::Up, ImageOrientation::Right, ImageOrientation::LeftMirrored,
          ImageOrientation::Left}) {
        SCOPED_TRACE(static_cast<int>(orientation));
        const bool tooLarge = orientation == ImageOrientation::Left;
        const Bytes tagged = withExifThumbnail(photo_, tooLarge ? large : thumbnail_, orientation);
        EXPECT_EQ(readExifThumbnail(tagged), tooLarge ? std::nullopt : std::optional(thumbnail_));
        const DecodeResult decoded = decodeJpeg(tagged);
        ASSERT_TRUE(decoded) << decoded.error();
        EXPECT_EQ(decoded.value()->imageOrientation(), orientation);
        EXPECT_EQ(decoded.value()->pixels().width(), 400);
    }
}

TEST_F(ExifThumbnailTest, ReadsTheThumbnailExiftoolStores) {
    ASSERT_TRUE(independent_tools::available("exiftool"))
        << "exiftool is missing: run scripts/install-deps";
    const independent_tools::ScratchFiles files("exif-thumbnail");
    const auto photo = files.write("photo.jpg", withExifOrientation(photo_, 3));
    const auto thumbnail = files.write("thumbnail.jpg", thumbnail_);
    const auto stored =
        independent_tools::run("exiftool -q -overwrite_original " +
                               independent_tools::quoted("-ThumbnailImage<=" + thumbnail.string()) +
                               " " + independent_tools::quoted(photo.string()));
    ASSERT_EQ(stored.status, 0) << stored.output;
    const Bytes tagged = independent_tools::ScratchFiles::read(photo);
    EXPECT_EQ(readExifThumbnail(tagged), thumbnail_);
    EXPECT_EQ(readExifOrientation(tagged), ImageOrientation::Down);
}

TEST_F(ExifThumbnailTest, PhotosWithoutOneOrDamagedOnesHaveNone) {
    EXPECT_FALSE(readExifThumbnail(photo_));
    EXPECT_FALSE(readExifThumbnail(withExifOrientation(photo_, 6)));
    EXPECT_FALSE(readExifThumbnail({}));
    EXPECT_FALSE(readExifThumbnail(Bytes(5000, 0xFF)));

    // Cut anywhere, the photo yields the whole thumbnail or none, never a piece of it.
    const Bytes tagged = withExifThumbnail(photo_, thumbnail_, ImageOrientation::Up);
    for (std::size_t length = 0; length < thumbnail_.size() + 400; length += 7) {
        const auto found = readExifThumbnail(std::span(tagged).first(length));
        EXPECT_TRUE(!found || *found == thumbnail_) << "cut at " << length;
    }
}

}  // namespace
