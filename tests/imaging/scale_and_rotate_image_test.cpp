#include "imaging/scale_and_rotate_image.h"

#include <gtest/gtest.h>

#include "imaging/upright_geometry.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace test_pictures;
using imaging::scaleAndRotateImage;

TEST(ScaleAndRotateImage, EveryTagMovesEveryPixelExactly) {
    // Wider than a cache tile, so that tiled turning is exercised at its edges too.
    const int w = 83, h = 70;
    for (const ImageOrientation tag : kEveryTag) {
        SCOPED_TRACE(static_cast<int>(tag));
        const ImagePtr upright = scaleAndRotateImage(*distinctPicture(w, h, tag));
        ASSERT_EQ(upright->imageOrientation(), ImageOrientation::Up);
        ASSERT_EQ(upright->scale(), 1.0f);
        ASSERT_EQ(test_pictures::dimensions(upright->pixels()),
                  std::pair(swapsSides(tag) ? h : w, swapsSides(tag) ? w : h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto [X, Y] = uprightPosition(tag, x, y, w, h);
                ASSERT_EQ(upright->pixels().pixel(X, Y), distinctPixel(x, y)) << x << "," << y;
            }
    }
}

TEST(ScaleAndRotateImage, CameraSizedPicturesKeepEveryPixel) {
    const ImagePtr right =
        scaleAndRotateImage(*distinctPicture(2048, 1536, ImageOrientation::Right));
    ASSERT_EQ(test_pictures::dimensions(right->pixels()), std::pair(1536, 2048));
    for (int y = 0; y < 2048; ++y)  // the right-hand column is the stored top row, downwards
        ASSERT_EQ(right->pixels().pixel(1535, y), distinctPixel(y, 0));
}

// Pixels beyond the display size (points times the scale) are reduced to it, turned as well.
TEST(ScaleAndRotateImage, LargerScalesAreBoundedByTheDisplaySize) {
    auto upright = [](int width, int height, ImageOrientation tag, float scale) {
        const ImagePtr picture = distinctPicture(width, height, tag, scale);
        return test_pictures::dimensions(scaleAndRotateImage(*picture)->pixels());
    };
    EXPECT_EQ(upright(1500, 2000, ImageOrientation::Up, 2), std::pair(750, 1000));
    // 640.67 × 480 points: the limit truncates to 640.
    EXPECT_EQ(upright(1922, 1440, ImageOrientation::Up, 3), std::pair(640, 480));
    EXPECT_EQ(upright(400, 300, ImageOrientation::RightMirrored, 2), std::pair(150, 200));
}

TEST(ScaleAndRotateImage, ReductionAveragesInsteadOfAliasing) {
    // One-pixel stripes, halved: every output pixel is half black, half white.
    const auto stripes = pixelsOf(64, 64, [](int x, int) { return x % 2 ? kWhite : 0xFF000000u; });
    const ImagePtr halved = scaleAndRotateImage(Image(stripes, ImageOrientation::Left, 2.0f));
    ASSERT_EQ(halved->pixels().width(), 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            ASSERT_NEAR(channel(halved->pixels().pixel(x, y), 1), 128, 1) << x << "," << y;
            ASSERT_EQ(channel(halved->pixels().pixel(x, y), 3), 255);
        }
}

}  // namespace
