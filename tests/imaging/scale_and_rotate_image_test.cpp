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

TEST(ScaleAndRotateImage, LargerScalesAreBoundedByTheDisplaySize) {
    const auto scale2 =
        imaging::uprightGeometry(*distinctPicture(2000, 1500, ImageOrientation::Up, 2));
    EXPECT_EQ(scale2.limit, 1000.0f);
    EXPECT_EQ(scale2.boundsWidth, 1000.0f);
    EXPECT_EQ(scale2.boundsHeight, 750.0f);
    EXPECT_EQ(scale2.ratio, 0.5f);
    const ImagePtr halved =
        scaleAndRotateImage(*distinctPicture(2000, 1500, ImageOrientation::Up, 2));
    EXPECT_EQ(test_pictures::dimensions(halved->pixels()), std::pair(1000, 750));

    // Ratio 1 is not greater than 1: the square takes the second branch.
    const auto square =
        imaging::uprightGeometry(*distinctPicture(400, 400, ImageOrientation::Left, 2));
    EXPECT_EQ(square.boundsHeight, 200.0f);
    EXPECT_EQ(square.boundsWidth, 200.0f);

    // 1922 × 1440 pixels at scale 3 show as 640.67 × 480 points: the limit truncates to 640.
    const auto truncated =
        imaging::uprightGeometry(*distinctPicture(1922, 1440, ImageOrientation::Up, 3));
    EXPECT_EQ(truncated.limit, 640.0f);
    EXPECT_EQ(truncated.outputWidth, 640);
    EXPECT_EQ(truncated.outputHeight, 480);

    // The sideways tags swap the reduced size like any other.
    const ImagePtr turned =
        scaleAndRotateImage(*distinctPicture(400, 300, ImageOrientation::RightMirrored, 2));
    EXPECT_EQ(test_pictures::dimensions(turned->pixels()), std::pair(150, 200));
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

TEST(ScaleAndRotateImage, TagsOutsideTheEightAreRefused) {
    for (int tag : {8, -1})
        EXPECT_THROW(
            scaleAndRotateImage(*distinctPicture(4, 3, static_cast<ImageOrientation>(tag))),
            imaging::InvalidImageOrientation);
}

}  // namespace
