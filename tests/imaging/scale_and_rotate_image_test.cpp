#include "imaging/scale_and_rotate_image.h"

#include <gtest/gtest.h>

#include <functional>

#include "imaging/upright_geometry.h"
#include "tests/imaging/test_pictures.h"

namespace {

using namespace test_pictures;
using imaging::scaleAndRotateImage;

struct Landing {
    ImageOrientation tag;
    bool sideways;
    // Where stored (x, y) of a w × h image shows in the upright picture.
    std::function<std::pair<int, int>(int x, int y, int w, int h)> at;
};

const Landing kLandings[] = {
    {ImageOrientation::Up, false,
     [](int x, int y, int, int) {
         return std::pair{x, y};
     }},
    {ImageOrientation::Down, false,
     [](int x, int y, int w, int h) {
         return std::pair{w - 1 - x, h - 1 - y};
     }},
    {ImageOrientation::Left, true,
     [](int x, int y, int w, int) {
         return std::pair{y, w - 1 - x};
     }},
    {ImageOrientation::Right, true,
     [](int x, int y, int, int h) {
         return std::pair{h - 1 - y, x};
     }},
    {ImageOrientation::UpMirrored, false,
     [](int x, int y, int w, int) {
         return std::pair{w - 1 - x, y};
     }},
    {ImageOrientation::DownMirrored, false,
     [](int x, int y, int, int h) {
         return std::pair{x, h - 1 - y};
     }},
    {ImageOrientation::LeftMirrored, true,
     [](int x, int y, int, int) {
         return std::pair{y, x};
     }},
    {ImageOrientation::RightMirrored, true,
     [](int x, int y, int w, int h) {
         return std::pair{h - 1 - y, w - 1 - x};
     }},
};

TEST(ScaleAndRotateImage, EveryTagMovesEveryPixelExactly) {
    // Wider than a cache tile, so that tiled turning is exercised at its edges too.
    const int w = 83, h = 70;
    for (const Landing& landing : kLandings) {
        SCOPED_TRACE(static_cast<int>(landing.tag));
        const ImagePtr upright = scaleAndRotateImage(*distinctPicture(w, h, landing.tag));
        ASSERT_EQ(upright->imageOrientation(), ImageOrientation::Up);
        ASSERT_EQ(upright->scale(), 1.0f);
        ASSERT_EQ(upright->pixels().width(), landing.sideways ? h : w);
        ASSERT_EQ(upright->pixels().height(), landing.sideways ? w : h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto [X, Y] = landing.at(x, y, w, h);
                ASSERT_EQ(upright->pixels().pixel(X, Y), distinctPixel(x, y)) << x << "," << y;
            }
    }
}

TEST(ScaleAndRotateImage, UndoingEachTagGivesTheOriginal) {
    const std::pair<ImageOrientation, ImageOrientation> inverses[] = {
        {ImageOrientation::Up, ImageOrientation::Up},
        {ImageOrientation::Down, ImageOrientation::Down},
        {ImageOrientation::Left, ImageOrientation::Right},
        {ImageOrientation::Right, ImageOrientation::Left},
        {ImageOrientation::UpMirrored, ImageOrientation::UpMirrored},
        {ImageOrientation::DownMirrored, ImageOrientation::DownMirrored},
        {ImageOrientation::LeftMirrored, ImageOrientation::LeftMirrored},
        {ImageOrientation::RightMirrored, ImageOrientation::RightMirrored},
    };
    const auto original = distinctPixels(97, 131);
    for (const auto& [tag, inverse] : inverses) {
        const ImagePtr once = scaleAndRotateImage(Image(original, tag, 1.0f));
        const ImagePtr back = scaleAndRotateImage(Image(once->pixelBuffer(), inverse, 1.0f));
        ASSERT_EQ(back->pixels().width(), 97);
        ASSERT_EQ(back->pixels().height(), 131);
        for (int y = 0; y < 131; ++y)
            for (int x = 0; x < 97; ++x)
                ASSERT_EQ(back->pixels().pixel(x, y), original->pixel(x, y))
                    << static_cast<int>(tag) << " at " << x << "," << y;
    }
}

TEST(ScaleAndRotateImage, CameraSizedPicturesKeepEveryPixel) {
    const ImagePtr right =
        scaleAndRotateImage(*distinctPicture(2048, 1536, ImageOrientation::Right));
    ASSERT_EQ(right->pixels().width(), 1536);
    ASSERT_EQ(right->pixels().height(), 2048);
    for (int y = 0; y < 2048; ++y)  // the right-hand column is the stored top row, downwards
        ASSERT_EQ(right->pixels().pixel(1535, y), distinctPixel(y, 0));

    const ImagePtr down = scaleAndRotateImage(*distinctPicture(2048, 1536, ImageOrientation::Down));
    ASSERT_EQ(down->pixels().width(), 2048);
    ASSERT_EQ(down->pixels().height(), 1536);
    EXPECT_EQ(down->pixels().pixel(2047, 1535), distinctPixel(0, 0));
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
    EXPECT_EQ(halved->pixels().width(), 1000);
    EXPECT_EQ(halved->pixels().height(), 750);

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
    EXPECT_EQ(turned->pixels().width(), 150);
    EXPECT_EQ(turned->pixels().height(), 200);
}

TEST(ScaleAndRotateImage, ReductionAveragesInsteadOfAliasing) {
    // One-pixel stripes, halved: every output pixel is half black, half white.
    auto stripes = std::make_shared<PixelBuffer>(64, 64, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) stripes->setPixel(x, y, x % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    const ImagePtr halved = scaleAndRotateImage(Image(stripes, ImageOrientation::Left, 2.0f));
    ASSERT_EQ(halved->pixels().width(), 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            ASSERT_NEAR(channel(halved->pixels().pixel(x, y), 1), 128, 1) << x << "," << y;
            ASSERT_EQ(channel(halved->pixels().pixel(x, y), 3), 255);
        }
}

TEST(ScaleAndRotateImage, TagsOutsideTheEightAreRefused) {
    for (int tag : {8, -1}) {
        const ImagePtr bad = distinctPicture(4, 3, static_cast<ImageOrientation>(tag));
        try {
            scaleAndRotateImage(*bad);
            ADD_FAILURE() << "tag " << tag << " was accepted";
        } catch (const imaging::InvalidImageOrientation& failure) {
            EXPECT_STREQ(failure.what(), "Invalid image orientation");
        }
    }
}

}  // namespace
