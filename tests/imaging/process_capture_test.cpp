#include "imaging/process_capture.h"

#include <gtest/gtest.h>

#include "imaging/crop_rect.h"
#include "imaging/image_by_scaling_and_cropping.h"
#include "imaging/image_in_rect.h"
#include "imaging/scale_and_rotate_image.h"
#include "imaging/upright_geometry.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace test_pictures;
using namespace imaging;

// The capture steps one by one, each making its own picture.
ImagePtr stepByStep(const Image& taken, float zoom, ResolutionPreset preset) {
    const auto size = taken.size();
    const ImagePtr upright = scaleAndRotateImage(taken);
    const ImagePtr cropped = imageInRect(*upright, cropRect(size, zoom, preset));
    return imageByScalingAndCroppingForSize(targetSize(preset, size), cropped);
}

void expectSamePixels(const ImagePtr& a, const ImagePtr& b) {
    ASSERT_TRUE(a && b);
    ASSERT_EQ(test_pictures::dimensions(a->pixels()),
              std::pair(b->pixels().width(), b->pixels().height()));
    for (int y = 0; y < a->pixels().height(); ++y)
        for (int x = 0; x < a->pixels().width(); ++x)
            ASSERT_EQ(a->pixels().pixel(x, y), b->pixels().pixel(x, y)) << x << "," << y;
}

TEST(ProcessCapture, ZoomCropsAndPresetsMatchTheStepsOneByOne) {
    for (ImageOrientation tag :
         {ImageOrientation::Up, ImageOrientation::Right, ImageOrientation::LeftMirrored}) {
        for (float zoom : {1.0f, 2.0f, 3.0f, 8.0f, 5.3f}) {
            SCOPED_TRACE(testing::Message() << "tag " << static_cast<int>(tag) << " zoom " << zoom);
            const ImagePtr taken = distinctPicture(256, 192, tag);
            expectSamePixels(processCapture(*taken, zoom, ZoomCrop),
                             stepByStep(*taken, zoom, ZoomCrop));
        }
    }
    const ImagePtr taken = distinctPicture(2048, 1536, ImageOrientation::Right);
    for (ResolutionPreset preset : {Preset3Mpx, Preset5Mpx, Preset7Mpx})
        expectSamePixels(processCapture(*taken, 4.0f, preset), stepByStep(*taken, 4.0f, preset));
    // A picture that must also be reduced (scale 2) takes the same road.
    const ImagePtr retina = distinctPicture(300, 200, ImageOrientation::Down, 2.0f);
    expectSamePixels(processCapture(*retina, 2.0f, ZoomCrop), stepByStep(*retina, 2.0f, ZoomCrop));
}

TEST(ProcessCapture, InvalidTagsAndImpossibleZoomsFailCleanly) {
    for (int tag : {8, -1})
        EXPECT_THROW(
            processCapture(*distinctPicture(8, 8, static_cast<ImageOrientation>(tag)), 1, ZoomCrop),
            InvalidImageOrientation);
    EXPECT_EQ(processCapture(*distinctPicture(8, 8, ImageOrientation::Up), 0.0f, ZoomCrop),
              nullptr);
}

}  // namespace
