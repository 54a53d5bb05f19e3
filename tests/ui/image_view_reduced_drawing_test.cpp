#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/graphics/reduced_copies.h"
#include "platform/ui/image_view.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/window.h"
#include "tests/graphics/test_pictures.h"
#include "tests/ui/screen_pixels.h"

namespace {

using namespace screen_pixels;
using platform::foundation::Rect;
using platform::graphics::DrawingContext;
using platform::graphics::ImageOrientation;
using platform::ui::ImageView;
using platform::ui::View;
using platform::ui::Window;

// Smooth shading with hard edges placed off-centre, so that a picture drawn turned, shifted
// or from the wrong part of a copy shows at its edges.
ImagePtr photoLike(int width, int height, ImageOrientation orientation) {
    auto pixels = std::make_shared<PixelBuffer>(width, height, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const int r = u < 0.3 ? 230 : static_cast<int>(60 + 50 * std::sin(9 * v));
            const int g = v < 0.4 ? 210 : static_cast<int>(90 + 60 * u);
            const int b = (static_cast<int>(u * 7 + v * 3) % 2) ? 200 : 40;
            pixels->setPixel(x, y, argbOf({r, g, b}));
        }
    return std::make_shared<Image>(pixels, orientation, 1.0f);
}

// The picture drawn straight from its own pixels, as every picture was drawn before.
class FullPictureView : public View {
  public:
    FullPictureView(ImagePtr image, Rect frame) : View(frame), image_(std::move(image)) {}
    void draw(DrawingContext& context) const override {
        context.drawImage(*image_, {0, 0, bounds().width(), bounds().height()});
    }

  private:
    ImagePtr image_;
};

struct Difference {
    double mean = 0;
    int worst = 0;
};

Difference difference(const Surface& a, const Surface& b) {
    const auto &pa = a.pixels(), &pb = b.pixels();
    double total = 0;
    int worst = 0;
    for (int y = 0; y < pa.height(); ++y)
        for (int x = 0; x < pa.width(); ++x) {
            const Rgb p = rgbOf(pa.pixel(x, y)), q = rgbOf(pb.pixel(x, y));
            const int d = std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
            total += d;
            worst = std::max(worst, d);
        }
    return {total / (double(pa.width()) * pa.height()), worst};
}

// The same picture at the same place on two screens: through an ImageView, and drawn whole.
// `inside` places it, e.g. in a zoomed scroll view.
template <class Place>
std::pair<std::unique_ptr<Surface>, std::unique_ptr<Surface>> drawnBothWays(const ImagePtr& image,
                                                                            Rect frame, float scale,
                                                                            Place inside) {
    auto viewed = std::make_shared<Window>();
    auto view = std::make_shared<ImageView>(image);
    view->setFrame(frame);
    inside(*viewed, view);
    auto whole = std::make_shared<Window>();
    inside(*whole, std::make_shared<FullPictureView>(image, frame));
    return {drawScreen(*viewed, scale), drawScreen(*whole, scale)};
}

void directly(Window& window, std::shared_ptr<View> view) {
    window.addSubview(std::move(view));
}

class ReducedDrawing : public testing::TestWithParam<ImageOrientation> {};

// Drawn small, whichever way it is tagged and however far it is reduced, the picture looks
// as it does scaled down from all its pixels: the same within the filters' rounding, edges
// in the same places, and not a pixel beyond its frame.
TEST_P(ReducedDrawing, LooksAsTheWholePictureScaledDown) {
    const auto image = photoLike(1203, 905, GetParam());  // odd, so copies overhang
    const auto upright = image->size();
    for (const float width : {200.0f, 97.0f, 23.0f}) {
        const float height = width * upright.height / upright.width;
        SCOPED_TRACE(testing::Message() << "drawn " << width << " points wide");
        const Rect frame{7.25f, 31.5f, width, height};
        auto [reduced, whole] = drawnBothWays(image, frame, 2.0f, directly);
        const Difference d = difference(*reduced, *whole);
        EXPECT_LT(d.mean, 0.75);
        EXPECT_LE(d.worst, 60);
        EXPECT_EQ(pixelAt(*reduced, frame.x() - 0.6f, frame.y() + 1), kBlack);
        EXPECT_EQ(pixelAt(*reduced, frame.maxX() + 0.6f, frame.maxY() - 1), kBlack);
        EXPECT_EQ(pixelAt(*reduced, frame.x() + 1, frame.maxY() + 0.6f), kBlack);
    }
}

INSTANTIATE_TEST_SUITE_P(Tags, ReducedDrawing, testing::ValuesIn(test_pictures::kEveryTag));

TEST(ReducedDrawingTest, DrawingSmallTakesItsPixelsFromTheKeptCopy) {
    const auto image = photoLike(800, 600, ImageOrientation::Up);
    // The copy a 100-point-wide drawing at scale 2 wants: at least 200 pixels wide.
    const auto copy = platform::graphics::reducedCopy(*image, 200, 150);
    ASSERT_EQ(copy.halvings, 2);
    auto& painted = const_cast<PixelBuffer&>(*copy.pixels);
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x) painted.setPixel(x, y, argbOf(kGreen));

    auto window = std::make_shared<Window>();
    auto view = std::make_shared<ImageView>(image);
    view->setFrame({10, 10, 100, 75});
    window->addSubview(view);
    EXPECT_EQ(pixelAt(*drawScreen(*window, 2.0f), 60, 50), kGreen);
    // At its own size and larger, the picture's own pixels are drawn.
    view->setFrame({0, 0, 400, 300});
    EXPECT_NE(pixelAt(*drawScreen(*window, 2.0f), 60, 50), kGreen);
}

TEST(ReducedDrawingTest, PicturesAtOrAboveTheirOwnSizeDrawAsBefore) {
    const auto image = photoLike(120, 90, ImageOrientation::Right);  // upright 90 × 120
    for (const float scale : {1.0f, 2.0f})
        for (const Rect frame :
             {Rect{5, 5, 90, 120}, Rect{0.5f, 3, 200, 250}, Rect{0, 0, 45, 60}}) {
            // At scale 2 the 45 × 60 frame is the picture's own size in pixels.
            if (frame.width() < 90 && scale < 2) continue;
            SCOPED_TRACE(testing::Message() << "scale " << scale << ", " << frame.width());
            auto [viewed, whole] = drawnBothWays(image, frame, scale, directly);
            EXPECT_TRUE(samePixels(*viewed, *whole));
        }
}

}  // namespace
