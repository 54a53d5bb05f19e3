#include <gtest/gtest.h>

#include <memory>

#include "platform/graphics/drawing_context.h"
#include "tests/graphics/test_pictures.h"
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
            const auto [ux, uy] = test_pictures::uprightPosition(GetParam(), x, y, 3, 2);
            EXPECT_EQ(pixelAt(surface, 2.5f + ux, 3.5f + uy), rgbOf(pixels->pixel(x, y)))
                << "stored (" << x << ", " << y << ")";
        }
}

INSTANTIATE_TEST_SUITE_P(AllTags, UprightDrawing, testing::ValuesIn(test_pictures::kEveryTag));

TEST(DrawingContext, PicturesBlendByTheirAlphaAndTemplatesTakeOnlyTheirShape) {
    auto pixels = std::make_shared<PixelBuffer>(4, 1, PixelBuffer::Format::Argb32);
    pixels->setPixel(0, 0, argbOf(kRed));  // opaque
    pixels->setPixel(1, 0, 0x80000080u);   // half transparent blue, premultiplied
    const Image image(pixels, ImageOrientation::Up, 1.0f);
    Surface tinted({4, 1}, 1.0f, Surface::Content::Opaque),
        drawn({4, 1}, 1.0f, Surface::Content::Opaque);
    {
        DrawingContext context(tinted);
        context.drawTemplate(image, {0, 0, 4, 1}, colorOf(kGreen));
        DrawingContext onRed(drawn);
        onRed.fillRect({0, 0, 4, 1}, colorOf(kRed));
        onRed.drawImage(image, {0, 0, 4, 1});
    }
    EXPECT_EQ(pixelAt(tinted, 0.5f, 0.5f), kGreen);
    EXPECT_TRUE(near(pixelAt(tinted, 1.5f, 0.5f), {0, 128, 0}, 2));
    EXPECT_EQ(pixelAt(tinted, 2.5f, 0.5f), kBlack);
    EXPECT_TRUE(near(pixelAt(drawn, 1.5f, 0.5f), {127, 0, 128}, 2));
    EXPECT_EQ(pixelAt(drawn, 2.5f, 0.5f), kRed);
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
