#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/jpeg_codec.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace platform::graphics;
using Bytes = std::vector<std::uint8_t>;

Bytes jpegOf(int width, int height) {
    EncodeResult encoded = encodeJpeg(*test_pictures::gradient(width, height), 90);
    EXPECT_TRUE(encoded) << encoded.error();
    return encoded ? encoded.value() : Bytes{};
}

int longSide(const PixelBuffer& pixels) {
    return std::max(pixels.width(), pixels.height());
}

TEST(JpegScaledDecode, TakesTheSmallestReductionStillReachingTheTarget) {
    // The decoder reduces in eighths; the next smaller eighth must fall short of the target.
    struct Case {
        int width, height, target;
    };
    for (const Case c :
         {Case{4000, 3000, 256}, Case{1000, 800, 256}, Case{800, 1000, 256}, Case{1030, 400, 128},
          Case{640, 480, 300}, Case{512, 512, 256}, Case{300, 200, 256}}) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " for " << c.target);
        const DecodeResult decoded = decodeJpegScaled(jpegOf(c.width, c.height), c.target);
        ASSERT_TRUE(decoded) << decoded.error();
        const int full = std::max(c.width, c.height);
        const int got = longSide(decoded.value()->pixels());
        if (full < c.target) {
            EXPECT_EQ(got, full);  // nothing reaches it: never enlarged either
            continue;
        }
        EXPECT_GE(got, c.target);
        const auto& pixels = decoded.value()->pixels();
        EXPECT_NEAR(double(pixels.width()) / pixels.height(), double(c.width) / c.height, 0.02);
        const int eighths = static_cast<int>(std::lround(8.0 * got / full));
        EXPECT_EQ(got, (full * eighths + 7) / 8);
        if (eighths > 1) {
            EXPECT_LT((full * (eighths - 1) + 7) / 8, c.target);
        }
    }
}

TEST(JpegScaledDecode, ShowsThePictureTheFullDecodeShowsAndCarriesItsTag) {
    const Bytes photo = withExifOrientation(jpegOf(1024, 768), 8);
    const DecodeResult scaled = decodeJpegScaled(photo, 256);
    const DecodeResult full = decodeJpeg(photo);
    ASSERT_TRUE(scaled && full);
    EXPECT_EQ(scaled.value()->imageOrientation(), ImageOrientation::Left);
    const PixelBuffer& small = scaled.value()->pixels();
    const PixelBuffer& large = full.value()->pixels();
    ASSERT_EQ(small.width(), 256);
    // Each reduced pixel against the mean of the block of full pixels it stands for.
    const int block = large.width() / small.width();
    double error = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            for (int shift : {0, 8, 16}) {
                double mean = 0;
                for (int j = 0; j < block; ++j)
                    for (int i = 0; i < block; ++i)
                        mean += (large.pixel(x * block + i, y * block + j) >> shift) & 0xFF;
                error += std::abs(mean / (block * block) - ((small.pixel(x, y) >> shift) & 0xFF));
            }
    EXPECT_LT(error / (3.0 * small.width() * small.height()), 2.0);
}

TEST(JpegScaledDecode, RefusesWhatTheFullDecodeRefuses) {
    const Bytes good = jpegOf(640, 480);
    Bytes truncated = good;
    truncated.resize(good.size() / 2);
    EXPECT_NE(decodeJpegScaled(truncated, 64).error().find("corrupt or truncated"),
              std::string::npos);
    const std::uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_EQ(decodeJpegScaled(png, 64).error(), "not a JPEG file");

    // Limits apply to the stored size, whatever the reduction.
    Bytes huge = good;
    for (std::size_t i = 2; i + 9 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 7] = 0x9C;  // 40000 × 40000
            huge[i + 6] = huge[i + 8] = 0x40;
            break;
        }
    EXPECT_NE(decodeJpegScaled(huge, 64).error().find("30000 pixels on a side"), std::string::npos);
    EXPECT_FALSE(readJpegSize(png));
    const auto size = readJpegSize(good);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 640);
    EXPECT_EQ(size->height, 480);
}

}  // namespace
