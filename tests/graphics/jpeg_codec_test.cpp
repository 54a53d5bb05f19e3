#include "platform/graphics/jpeg_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/foundation/log.h"
#include "platform/graphics/decode_image.h"
#include "platform/graphics/exif_orientation.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace platform::graphics;

std::vector<std::uint8_t> encodeOrFail(const PixelBuffer& pixels, int quality = 95) {
    EncodeResult encoded = encodeJpeg(pixels, quality);
    EXPECT_TRUE(encoded.ok()) << encoded.error();
    return encoded.ok() ? encoded.value() : std::vector<std::uint8_t>{};
}

// Rewrites the frame header's size fields.
void setFrameSize(std::vector<std::uint8_t>& jpeg, std::uint16_t width, std::uint16_t height) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] != 0xFF || jpeg[i + 1] != 0xC0) continue;
        jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
        jpeg[i + 6] = static_cast<std::uint8_t>(height & 0xFF);
        jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
        jpeg[i + 8] = static_cast<std::uint8_t>(width & 0xFF);
        return;
    }
    FAIL() << "no baseline frame header";
}

double meanAbsoluteError(const PixelBuffer& a, const PixelBuffer& b) {
    double total = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int c = 0; c < 3; ++c)
                total += std::abs(static_cast<int>((a.pixel(x, y) >> (8 * c)) & 0xFF) -
                                  static_cast<int>((b.pixel(x, y) >> (8 * c)) & 0xFF));
    return total / (3.0 * a.width() * a.height());
}

TEST(JpegCodec, RoundTripKeepsSizeAndStaysCloseAndLowerQualityIsSmaller) {
    auto original = test_pictures::gradient(203, 97);
    auto decoded = decodeJpeg(encodeOrFail(*original));
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    const PixelBuffer& pixels = decoded.value()->pixels();
    ASSERT_EQ(decoded.value()->size(), (platform::foundation::Size{203, 97}));
    EXPECT_EQ(pixels.format(), PixelBuffer::Format::Rgb24);
    EXPECT_EQ(pixels.pixel(100, 50) >> 24, 0xFFu);
    EXPECT_LT(meanAbsoluteError(pixels, *original), 2.0);
    EXPECT_EQ(decoded.value()->imageOrientation(), ImageOrientation::Up);
    EXPECT_LT(encodeOrFail(*original, 50).size(), encodeOrFail(*original, 95).size());
}

TEST(ExifOrientation, EveryValueMapsToItsTag) {
    // EXIF's values 1 to 8; any other is read as upright.
    const ImageOrientation byValue[] = {ImageOrientation::Up,
                                        ImageOrientation::UpMirrored,
                                        ImageOrientation::Down,
                                        ImageOrientation::DownMirrored,
                                        ImageOrientation::LeftMirrored,
                                        ImageOrientation::Right,
                                        ImageOrientation::RightMirrored,
                                        ImageOrientation::Left};
    const auto plain = encodeOrFail(*test_pictures::gradient(16, 8));
    for (int value = 0; value <= 9; ++value) {
        const bool valid = value >= 1 && value <= 8;
        auto decoded = decodeJpeg(withExifOrientation(plain, value));
        ASSERT_TRUE(decoded.ok()) << decoded.error();
        EXPECT_EQ(decoded.value()->imageOrientation(),
                  valid ? byValue[value - 1] : ImageOrientation::Up)
            << "EXIF value " << value;
        if (valid) {
            EXPECT_EQ(exifFromOrientation(byValue[value - 1]), value);
        }
    }
    EXPECT_EQ(readExifOrientation(plain), ImageOrientation::Up);
    EXPECT_EQ(decodeJpeg(withExifOrientation(plain, 6)).value()->size().width, 8.0f);
}

TEST(JpegCodec, RefusesBadFilesWithAReason) {
    const auto good = encodeOrFail(*test_pictures::gradient(64, 64));

    auto truncated = good;
    truncated.resize(good.size() * 2 / 3);
    EXPECT_NE(decodeJpeg(truncated).error().find("corrupt or truncated"), std::string::npos);

    std::vector<std::uint8_t> garbledHeader(good.begin(), good.begin() + 3);
    garbledHeader.resize(400, 0x17);
    EXPECT_NE(decodeJpeg(garbledHeader).error().find("corrupt JPEG header"), std::string::npos);

    const std::uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_EQ(decodeJpeg(png).error(), "not a JPEG file");

    auto tooWide = good;
    setFrameSize(tooWide, 40000, 8);
    EXPECT_NE(decodeJpeg(tooWide).error().find("30000 pixels on a side"), std::string::npos);

    auto tooMany = good;
    setFrameSize(tooMany, 12000, 12000);
    EXPECT_NE(decodeJpeg(tooMany).error().find("100 megapixels"), std::string::npos);
    // The longest side is taken, one pixel more is not.
    for (const int width : {30000, 30001})
        EXPECT_EQ(decodeJpeg(encodeOrFail(PixelBuffer(width, 1, PixelBuffer::Format::Rgb24))).ok(),
                  width == 30000);

    EXPECT_FALSE(encodeJpeg(PixelBuffer(0, 5, PixelBuffer::Format::Rgb24)).ok());
}

TEST(JpegCodec, AnExifBlockRunningPastTheEndIsIgnoredWithAWarning) {
    const auto photo = encodeOrFail(*test_pictures::gradient(64, 48));
    const auto expected = decodeJpeg(photo).value();
    // An EXIF block that says the photograph is sideways, in a segment that claims more
    // bytes than the file holds; in one file it carries a thumbnail of another size.
    const std::vector<std::uint8_t> exif = {'E', 'x', 'i', 'f', 0, 0,    'M',  'M', 0, 42, 0,
                                            0,   0,   8,   0,   1, 0x01, 0x12, 0,   3, 0,  0,
                                            0,   1,   0,   6,   0, 0,    0,    0,   0, 0};
    const independent_tools::ScratchFiles files("damaged-exif");
    for (const bool thumbnail : {false, true}) {
        std::vector<std::uint8_t> file = {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xF0};
        file.insert(file.end(), exif.begin(), exif.end());
        if (thumbnail) {
            const auto small = encodeOrFail(*test_pictures::gradient(16, 12));
            file.insert(file.end(), small.begin(), small.end());
        }
        file.insert(file.end(), photo.begin() + 2, photo.end());

        platform::foundation::SystemLog::Capture log;
        for (const auto& decoded :
             {decodeJpeg(file), decodeImageFile(files.write("damaged.jpg", file))}) {
            ASSERT_TRUE(decoded.ok()) << decoded.error();
            EXPECT_EQ(decoded.value()->imageOrientation(), ImageOrientation::Up);
            ASSERT_EQ(decoded.value()->pixels().width(), 64);
            EXPECT_EQ(decoded.value()->pixels().pixel(40, 30), expected->pixels().pixel(40, 30));
        }
        EXPECT_TRUE(log.contains(
            "a JPEG picture's EXIF block runs past the end of its file: it is ignored"));
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

}  // namespace
