#include <gtest/gtest.h>

#include <memory>

#include "platform/graphics/drawing_context.h"
#include "tests/ui/screen_pixels.h"

namespace {

using namespace screen_pixels;
using platform::graphics::DrawingContext;
using platform::graphics::ImageOrientation;

// Every stored pixel of a 3 × 2 picture distinct.
std::shared_ptr<PixelBuffer> distinctPixels() {
    auto pixels = std::make_shared<PixelBuffer>(3, 2, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) pixels->setPixel(x, y, argbOf({40 + 80 * x, 60 + 120 * y, 90}));
    return pixels;
}

struct Landing {
    ImageOrientation orientation;
    int x, y;  // where stored pixel (x, y) of a w × h picture lands, as functions below
};

// Where stored pixel (x, y) of the w × h picture appears when drawn upright.
std::pair<int, int> uprightPosition(ImageOrientation o, int x, int y, int w, int h) {
    switch (o) {
        case ImageOrientation::Up:
            return {x, y};
        case ImageOrientation::Down:
            return {w - 1 - x, h - 1 - y};
        case ImageOrientation::Left:
            return {y, w - 1 - x};
        case ImageOrientation::Right:
            return {h - 1 - y, x};
        case ImageOrientation::UpMirrored:
            return {w - 1 - x, y};
        case ImageOrientation::DownMirrored:
            return {x, h - 1 - y};
        case ImageOrientation::LeftMirrored:
            return {y, x};
        case ImageOrientation::RightMirrored:
            return {h - 1 - y, w - 1 - x};
    }
    return {-1, -1};
}

class UprightDrawing : public testing::TestWithParam<ImageOrientation> {};

TEST_P(UprightDrawing, EveryStoredPixelLandsWhereItsTagSays) {
    const auto pixels = distinctPixels();
    const Image image(pixels, GetParam(), 1.0f);
    Surface surface({8, 8}, 1.0f, Surface::Content::Opaque);
    {
        DrawingContext context(surface);
        const auto size = image.size();
        context.drawImage(image, {2, 3, size.width, size.height});
    }
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const auto [ux, uy] = uprightPosition(GetParam(), x, y, 3, 2);
            EXPECT_EQ(pixelAt(surface, 2.5f + ux, 3.5f + uy), rgbOf(pixels->pixel(x, y)))
                << "stored (" << x << ", " << y << ")";
        }
}

INSTANTIATE_TEST_SUITE_P(AllTags, UprightDrawing,
                         testing::Values(ImageOrientation::Up, ImageOrientation::Down,
                                         ImageOrientation::Left, ImageOrientation::Right,
                                         ImageOrientation::UpMirrored,
                                         ImageOrientation::DownMirrored,
                                         ImageOrientation::LeftMirrored,
                                         ImageOrientation::RightMirrored));

TEST(DrawingContext, TemplateTakesOnlyThePicturesShape) {
    auto pixels = std::make_shared<PixelBuffer>(4, 1, PixelBuffer::Format::Argb32);
    pixels->setPixel(0, 0, argbOf(kRed));  // opaque
    pixels->setPixel(1, 0, 0x80000080u);   // half transparent blue, premultiplied
    const Image image(pixels, ImageOrientation::Up, 1.0f);
    Surface surface({4, 1}, 1.0f, Surface::Content::Opaque);
    {
        DrawingContext context(surface);
        context.drawTemplate(image, {0, 0, 4, 1}, colorOf(kGreen));
    }
    EXPECT_EQ(pixelAt(surface, 0.5f, 0.5f), kGreen);
    EXPECT_TRUE(near(pixelAt(surface, 1.5f, 0.5f), {0, 128, 0}, 2));
    EXPECT_EQ(pixelAt(surface, 2.5f, 0.5f), kBlack);
}

TEST(DrawingContext, PictureAlphaIsRespected) {
    auto pixels = std::make_shared<PixelBuffer>(2, 1, PixelBuffer::Format::Argb32);
    pixels->setPixel(0, 0, 0x80800000u);  // half transparent red
    const Image image(pixels, ImageOrientation::Up, 1.0f);
    Surface surface({2, 1}, 1.0f, Surface::Content::Opaque);
    {
        DrawingContext context(surface);
        context.fillRect({0, 0, 2, 1}, colorOf(kBlue));
        context.drawImage(image, {0, 0, 2, 1});
    }
    EXPECT_TRUE(near(pixelAt(surface, 0.5f, 0.5f), {128, 0, 127}, 2));
    EXPECT_EQ(pixelAt(surface, 1.5f, 0.5f), kBlue);
}

TEST(DrawingContext, SingularTransformIsRefusedAndLeavesDrawingAsItWas) {
    Surface surface({10, 10}, 2.0f, Surface::Content::Opaque);
    DrawingContext context(surface);
    EXPECT_FALSE(context.concat({0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(context.scaleBy(0.0f, 1.0f));
    context.fillRect({0, 0, 5, 5}, colorOf(kRed));
    EXPECT_EQ(pixelAt(surface, 4.8f, 4.8f), kRed);
    EXPECT_EQ(pixelAt(surface, 5.2f, 5.2f), kBlack);
}

TEST(DrawingContext, PlacementRestoresTransformAndClip) {
    Surface surface({40, 40}, 2.0f, Surface::Content::Opaque);
    DrawingContext context(surface);
    context.save();
    context.translate(10, 10);
    context.clip({0, 0, 10, 10});
    const auto placement = context.placement();
    context.restore();

    context.save();
    context.setPlacement(placement);
    context.fillRect({-5, -5, 30, 30}, colorOf(kRed));
    context.restore();
    EXPECT_EQ(pixelAt(surface, 10.2f, 10.2f), kRed);
    EXPECT_EQ(pixelAt(surface, 19.8f, 19.8f), kRed);
    EXPECT_EQ(pixelAt(surface, 9.8f, 15), kBlack);
    EXPECT_EQ(pixelAt(surface, 20.2f, 15), kBlack);
}

}  // namespace
