#include <gtest/gtest.h>

#include "imaging/crop_rect.h"
#include "imaging/fill_rect.h"
#include "imaging/image_by_scaling_and_cropping.h"
#include "imaging/image_in_rect.h"
#include "imaging/resolution_preset.h"
#include "platform/foundation/log.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace test_pictures;
using namespace imaging;
using platform::foundation::Rect;
using platform::foundation::Size;

constexpr Size kLandscape{2048.0f, 1536.0f};

TEST(CropRect, ZoomCropIsTheCentredRegionOfTheZoom) {
    EXPECT_EQ(cropRect(kLandscape, 1.0f, ZoomCrop), Rect(0, 0, 2048, 1536));
    EXPECT_EQ(cropRect(kLandscape, 2.0f, ZoomCrop), Rect(512, 384, 1024, 768));
    EXPECT_EQ(cropRect(kLandscape, 8.0f, ZoomCrop), Rect(896, 672, 256, 192));
    // Other presets keep the whole picture, whatever the zoom.
    EXPECT_EQ(cropRect(kLandscape, 3.0f, Preset5Mpx), Rect(0, 0, 2048, 1536));
}

// Zoom 3's crop, about 682.67 wide from x 682.67, takes every pixel it touches.
TEST(CropRect, WidensToWholePixelsAndClips) {
    EXPECT_EQ(pixelRectIn(cropRect(kLandscape, 3.0f, ZoomCrop), 2048, 1536),
              (PixelRect{682, 512, 684, 512}));
    EXPECT_EQ(pixelRectIn(Rect(-3.5f, 10.2f, 20.0f, 5.0f), 10, 12), (PixelRect{0, 10, 10, 2}));
    EXPECT_TRUE(pixelRectIn(Rect(20, 0, 5, 5), 10, 10).empty());
    EXPECT_TRUE(pixelRectIn(Rect(0, 0, 0, 5), 10, 10).empty());
}

TEST(TargetSize, FollowsThePresetAndTheShape) {
    EXPECT_EQ(targetSize(ZoomCrop, kLandscape), (Size{1024, 768}));
    EXPECT_EQ(targetSize(Preset3Mpx, kLandscape), (Size{2048, 1536}));
    EXPECT_EQ(targetSize(Preset5Mpx, kLandscape), (Size{2584, 1936}));
    EXPECT_EQ(targetSize(Preset7Mpx, kLandscape), (Size{3160, 2368}));
    const Size portrait{1536, 2048};
    EXPECT_EQ(targetSize(Preset3Mpx, portrait), (Size{1536, 2048}));
    EXPECT_EQ(targetSize(Preset5Mpx, portrait), (Size{1936, 2584}));
    EXPECT_EQ(targetSize(Preset7Mpx, portrait), (Size{2368, 3160}));
    EXPECT_EQ(targetSize(Preset3Mpx, Size{1000, 1000}), (Size{1536, 2048}));  // square: portrait
}

TEST(AspectFillRect, CoversTheTargetAndCutsEqually) {
    // Relatively wider targets cut at the top and bottom, taller ones at the sides.
    EXPECT_EQ(aspectFillRect(kLandscape, {2584, 1936}), Rect(0, -1, 2584, 1938));
    EXPECT_EQ(aspectFillRect({1536, 2048}, {2368, 3160}), Rect(-1, 0, 2370, 3160));
    EXPECT_EQ(aspectFillRect({256, 192}, {1024, 768}), Rect(0, 0, 1024, 768));   // zoom 8
    EXPECT_EQ(aspectFillRect({684, 512}, {1024, 768}), Rect(-1, 0, 1026, 768));  // zoom 3
}

// A picture whose columns step by 3 in green.
std::shared_ptr<PixelBuffer> columnRamp(int width, int height) {
    return pixelsOf(width, height, [](int x, int) {
        return 0xFF000000u | static_cast<std::uint32_t>(3 * x) << 8;
    });
}

TEST(ImageByScalingAndCropping, EqualSizesAreCopiedExactly) {
    const ImagePtr source = distinctPicture(40, 30, ImageOrientation::Up);
    const ImagePtr same = imageByScalingAndCroppingForSize({40, 30}, source);
    ASSERT_TRUE(same);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(same->pixels().pixel(x, y), distinctPixel(x, y));

    // Factor 1 on the longer axis, with a one-pixel cut from each end.
    const ImagePtr cut = imageByScalingAndCroppingForSize({38, 30}, source);
    ASSERT_EQ(cut->pixels().width(), 38);
    for (int x = 0; x < 38; ++x) ASSERT_EQ(cut->pixels().pixel(x, 7), distinctPixel(x + 1, 7));
}

TEST(ImageByScalingAndCropping, EnlargesBilinearly) {
    const auto twoPixels = pixelsOf(2, 1, [](int x, int) { return x ? kWhite : 0xFF000000u; });
    const ImagePtr wide = imageByScalingAndCroppingForSize({4, 2}, Image::withPixels(twoPixels));
    ASSERT_TRUE(wide);
    const int expected[] = {0, 64, 191, 255};
    for (int x = 0; x < 4; ++x)
        EXPECT_NEAR(channel(wide->pixels().pixel(x, 1), 0), expected[x], 1) << x;

    // Zoom 8's crop enlarged four times keeps a ramp a ramp, edges included.
    const ImagePtr ramp =
        imageByScalingAndCroppingForSize({256, 48}, Image::withPixels(columnRamp(64, 12)));
    for (int x = 1; x < 256; ++x)
        ASSERT_GE(channel(ramp->pixels().pixel(x, 5), 1),
                  channel(ramp->pixels().pixel(x - 1, 5), 1));
    EXPECT_EQ(channel(ramp->pixels().pixel(0, 0), 1), 0);
    EXPECT_EQ(channel(ramp->pixels().pixel(255, 47), 1), 189);
}

TEST(ImageByScalingAndCropping, ScalesWithTheCentredCut) {
    // Zoom 3's case in small: 1.5 times larger, drawn at x = −1 and cut to the target.
    const ImagePtr scaled =
        imageByScalingAndCroppingForSize({100, 75}, Image::withPixels(columnRamp(68, 50)));
    ASSERT_EQ(test_pictures::dimensions(scaled->pixels()), std::pair(100, 75));
    // Output centre 51.5 sits at source (51.5 + 1) / 1.5 = 35, halfway between the centres of
    // columns 34 and 35.
    EXPECT_NEAR(channel(scaled->pixels().pixel(51, 30), 1), 103.5, 0.5);

    // Halving averages each pair of columns.
    const ImagePtr halved =
        imageByScalingAndCroppingForSize({34, 25}, Image::withPixels(columnRamp(68, 50)));
    for (int x = 0; x < 34; ++x) ASSERT_EQ(channel(halved->pixels().pixel(x, 12), 1), 6 * x + 2);
}

TEST(ImageByScalingAndCropping, DrawsTaggedPicturesAsSeen) {
    const ImagePtr turned = imageByScalingAndCroppingForSize(
        {30, 40}, distinctPicture(40, 30, ImageOrientation::Right));
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->pixels().pixel(29, 0), distinctPixel(0, 0));
}

TEST(ImageByScalingAndCropping, NoPictureOrNoSurfaceGivesNothing) {
    platform::foundation::SystemLog::Capture log;
    EXPECT_EQ(imageByScalingAndCroppingForSize({10, 10}, nullptr), nullptr);
    const ImagePtr source = distinctPicture(4, 4, ImageOrientation::Up);
    EXPECT_EQ(imageByScalingAndCroppingForSize({0, 10}, source), nullptr);
    EXPECT_EQ(imageByScalingAndCroppingForSize({40000, 10}, source), nullptr);
    const ImagePtr fractional = imageByScalingAndCroppingForSize({2.5f, 3.5f}, source);
    ASSERT_TRUE(fractional);
    EXPECT_EQ(test_pictures::dimensions(fractional->pixels()), std::pair(3, 4));
}

TEST(ImageInRect, CopiesTheWidenedPixels) {
    const ImagePtr source = distinctPicture(20, 10, ImageOrientation::Up);
    const ImagePtr cropped = imageInRect(*source, Rect(2.5f, 3.0f, 4.0f, 2.2f));
    ASSERT_TRUE(cropped);
    EXPECT_EQ(test_pictures::dimensions(cropped->pixels()), std::pair(5, 3));
    EXPECT_EQ(cropped->pixels().pixel(0, 0), distinctPixel(2, 3));
    EXPECT_EQ(cropped->pixels().pixel(4, 2), distinctPixel(6, 5));
    EXPECT_EQ(imageInRect(*source, Rect(30, 0, 5, 5)), nullptr);
}

}  // namespace
