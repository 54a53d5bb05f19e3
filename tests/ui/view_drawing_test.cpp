#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/foundation/run_loop.h"
#include "platform/graphics/drawing_context.h"
#include "platform/graphics/reduced_copies.h"
#include "platform/ui/activity_indicator.h"
#include "platform/ui/button.h"
#include "platform/ui/image_view.h"
#include "platform/ui/label.h"
#include "platform/ui/slider.h"
#include "platform/ui/tab_bar.h"
#include "platform/ui/window.h"
#include "tests/graphics/test_pictures.h"
#include "tests/ui/screen_pixels.h"

namespace platform::ui {
namespace {

using namespace screen_pixels;
using foundation::Point;
using foundation::Rect;
using foundation::RunLoop;
using foundation::SystemClock;
using foundation::VirtualClock;
using graphics::DrawingContext;
using graphics::ImageOrientation;

std::shared_ptr<View> colouredView(Rect frame, Rgb color) {
    auto view = std::make_shared<View>(frame);
    view->setBackgroundColor(colorOf(color));
    return view;
}

// Each test draws on a window of its own.
class ViewDrawing : public testing::Test {
  protected:
    std::shared_ptr<Window> window = std::make_shared<Window>();
};

TEST_F(ViewDrawing, LaterSubviewsAboveHiddenOnesNeverAndClippingParentsCutOverhangs) {
    auto parent = colouredView({10, 10, 100, 100}, kRed);
    auto child = colouredView({50, 50, 80, 20}, kGreen);  // overhangs its parent on the right
    auto younger = colouredView({0, 0, 30, 30}, kBlue);
    parent->addSubview(child);
    window->addSubview(parent);
    window->addSubview(younger);
    auto shown = drawScreen(*window);
    EXPECT_EQ(pixelAt(*shown, 20, 20), kBlue);
    EXPECT_EQ(pixelAt(*shown, 40, 40), kRed);
    EXPECT_EQ(pixelAt(*shown, 65, 65), kGreen);  // in window points: 10 + 50 + 5
    EXPECT_EQ(pixelAt(*shown, 125, 65), kGreen);

    window->addSubview(parent);  // moves it on top
    parent->setClipsToBounds(true);
    auto clipped = drawScreen(*window);
    EXPECT_EQ(pixelAt(*clipped, 20, 20), kRed);
    EXPECT_EQ(pixelAt(*clipped, 105, 65), kGreen);
    EXPECT_EQ(pixelAt(*clipped, 125, 65), kBlack);

    parent->setHidden(true);
    auto hidden = drawScreen(*window);
    EXPECT_EQ(pixelAt(*hidden, 40, 40), kBlack);
    EXPECT_EQ(pixelAt(*hidden, 65, 65), kBlack);
}

// The picture fills exactly its frame, its halves where they belong, at either scale,
// whether it has one pixel per point or two.
TEST_F(ViewDrawing, PictureIsDrawnAtItsFrame) {
    auto view = std::make_shared<ImageView>(Rect{10, 20, 40, 30});
    window->addSubview(view);
    for (const float scale : {1.0f, 2.0f})
        for (const float pictureScale : {1.0f, 2.0f}) {
            view->setImage(twoColourPicture(40, 30, kRed, kBlue, pictureScale));
            auto screen = drawScreen(*window, scale);
            SCOPED_TRACE(testing::Message() << "scales " << scale << ", " << pictureScale);
            EXPECT_TRUE(near(pixelAt(*screen, 10.2f, 20.2f), kRed));
            EXPECT_TRUE(near(pixelAt(*screen, 28.5f, 35), kRed));
            EXPECT_TRUE(near(pixelAt(*screen, 31.5f, 35), kBlue));
            EXPECT_TRUE(near(pixelAt(*screen, 49.8f, 49.8f), kBlue));
            EXPECT_EQ(pixelAt(*screen, 9.5f, 35), kBlack);
            EXPECT_EQ(pixelAt(*screen, 50.2f, 35), kBlack);
            EXPECT_EQ(pixelAt(*screen, 30, 19.5f), kBlack);
            EXPECT_EQ(pixelAt(*screen, 30, 50.2f), kBlack);
        }
}

TEST_F(ViewDrawing, PictureKeepsItsProportionsInAspectModes) {
    auto view = std::make_shared<ImageView>(Rect{0, 0, 100, 100});
    view->setImage(solidPicture(50, 25, kGreen));  // 2:1
    window->addSubview(view);

    view->setContentMode(ContentMode::ScaleAspectFit);
    auto fit = drawScreen(*window);
    EXPECT_EQ(pixelAt(*fit, 50, 20), kBlack);  // above the 100 × 50 band
    EXPECT_EQ(pixelAt(*fit, 50, 30), kGreen);

    view->setContentMode(ContentMode::ScaleAspectFill);
    auto fill = drawScreen(*window);
    EXPECT_EQ(pixelAt(*fill, 50, 5), kGreen);
    EXPECT_EQ(pixelAt(*fill, 50, 95), kGreen);
}

TEST_F(ViewDrawing, SpinnerTurnsOnlyWhileAnimatingAndASecondStartKeepsItsTurn) {
    auto clock = std::make_shared<VirtualClock>();
    RunLoop::main().setClock(clock);
    auto spinner = std::make_shared<ActivityIndicator>(Rect{100, 100, 20, 20});
    spinner->setActivityIndicatorViewStyle(ActivityIndicator::Style::White);
    window->addSubview(spinner);
    auto drawn = [&] { return drawScreen(*window, 1.0f, clock->now()); };
    const auto blank = drawScreen(*std::make_shared<Window>());
    EXPECT_TRUE(samePixels(*drawn(), *blank));
    EXPECT_FALSE(treeIsAnimating(*window, clock->now()));

    spinner->startAnimating();
    auto first = drawn();
    EXPECT_FALSE(samePixels(*first, *blank));
    clock->advanceTo(1.0 / 12.0 + 0.001);  // one spoke on
    EXPECT_FALSE(samePixels(*first, *drawn()));
    clock->advanceTo(0.5);
    spinner->startAnimating();      // asked again while it turns: no jump back to the first spoke
    clock->advanceTo(1.0 + 0.001);  // a whole turn later the picture repeats
    EXPECT_TRUE(samePixels(*first, *drawn()));
    RunLoop::main().setClock(std::make_shared<SystemClock>());
}

class UprightDrawing : public testing::TestWithParam<ImageOrientation> {};

TEST_P(UprightDrawing, EveryStoredPixelLandsWhereItsTagSays) {
    // Every stored pixel of a 3 × 2 picture distinct.
    const auto pixels = test_pictures::pixelsOf(3, 2, [](int x, int y) {
        return argbOf({40 + 80 * x, 60 + 120 * y, 90});
    });
    const Image image(pixels, GetParam(), 1.0f);
    Surface surface({8, 8}, 1.0f, Surface::Content::Opaque);
    {
        DrawingContext context(surface);
        context.drawImage(image, {2, 3, image.size().width, image.size().height});
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

// Smooth shading with hard edges placed off-centre, so that a picture drawn turned, shifted
// or from the wrong region of a copy shows at its edges.
ImagePtr photoLike(int width, int height, ImageOrientation orientation) {
    auto pixels = test_pictures::pixelsOf(width, height, [&](int x, int y) {
        const double u = double(x) / width, v = double(y) / height;
        const int r = u < 0.3 ? 230 : static_cast<int>(60 + 50 * std::sin(9 * v));
        const int g = v < 0.4 ? 210 : static_cast<int>(90 + 60 * u);
        const int b = (static_cast<int>(u * 7 + v * 3) % 2) ? 200 : 40;
        return argbOf({r, g, b});
    });
    return std::make_shared<Image>(pixels, orientation, 1.0f);
}

// The picture drawn straight from its own pixels, as every picture was drawn before.
struct FullPictureView : View {
    FullPictureView(ImagePtr image, Rect frame) : View(frame), image(std::move(image)) {}
    void draw(DrawingContext& context) const override {
        context.drawImage(*image, {0, 0, bounds().width(), bounds().height()});
    }
    ImagePtr image;
};

// The mean and the largest difference of any channel between two screens.
std::pair<double, int> difference(const Surface& a, const Surface& b) {
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
std::pair<std::unique_ptr<Surface>, std::unique_ptr<Surface>> drawnBothWays(const ImagePtr& image,
                                                                            Rect frame,
                                                                            float scale) {
    auto viewed = std::make_shared<Window>(), whole = std::make_shared<Window>();
    auto view = std::make_shared<ImageView>(image);
    view->setFrame(frame);
    viewed->addSubview(view);
    whole->addSubview(std::make_shared<FullPictureView>(image, frame));
    return {drawScreen(*viewed, scale), drawScreen(*whole, scale)};
}

class ReducedDrawing : public testing::TestWithParam<ImageOrientation> {};

// Drawn small, whichever way it is tagged and however far it is reduced, the picture looks
// as it does scaled down from all its pixels: the same within the filters' rounding, edges
// in the same places, and not a pixel beyond its frame. At its own size it is drawn from its
// own pixels, exactly as before.
TEST_P(ReducedDrawing, LooksAsTheWholePictureScaledDown) {
    const auto image = photoLike(1203, 905, GetParam());  // odd, so copies overhang
    const auto upright = image->size();
    for (const float width : {upright.width / 2, 200.0f, 97.0f, 23.0f}) {
        const float height = width * upright.height / upright.width;
        SCOPED_TRACE(testing::Message() << "drawn " << width << " points wide");
        const Rect frame{7.25f, 31.5f, width, height};
        auto [reduced, whole] = drawnBothWays(image, frame, 2.0f);
        if (width == upright.width / 2) {
            EXPECT_TRUE(samePixels(*reduced, *whole));
            continue;
        }
        const auto [mean, worst] = difference(*reduced, *whole);
        EXPECT_LT(mean, 0.75);
        EXPECT_LE(worst, 60);
        EXPECT_EQ(pixelAt(*reduced, frame.x() - 0.6f, frame.y() + 1), kBlack);
        EXPECT_EQ(pixelAt(*reduced, frame.maxX() + 0.6f, frame.maxY() - 1), kBlack);
        EXPECT_EQ(pixelAt(*reduced, frame.x() + 1, frame.maxY() + 0.6f), kBlack);
    }
}

INSTANTIATE_TEST_SUITE_P(Tags, ReducedDrawing, testing::ValuesIn(test_pictures::kEveryTag));

TEST_F(ViewDrawing, DrawingSmallTakesItsPixelsFromTheKeptCopy) {
    const auto image = photoLike(800, 600, ImageOrientation::Up);
    // The copy a 100-point-wide drawing at scale 2 wants: at least 200 pixels wide.
    const auto copy = graphics::reducedCopy(*image, 200, 150);
    ASSERT_EQ(copy.halvings, 2);
    auto& painted = const_cast<PixelBuffer&>(*copy.pixels);
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x) painted.setPixel(x, y, argbOf(kGreen));

    auto view = std::make_shared<ImageView>(image);
    view->setFrame({10, 10, 100, 75});
    window->addSubview(view);
    EXPECT_EQ(pixelAt(*drawScreen(*window, 2.0f), 60, 50), kGreen);
    // At its own size and larger, the picture's own pixels are drawn.
    view->setFrame({0, 0, 400, 300});
    EXPECT_NE(pixelAt(*drawScreen(*window, 2.0f), 60, 50), kGreen);
}

constexpr Rgb kWhite{255, 255, 255};

int brightness(Rgb c) {
    return c.r + c.g + c.b;
}

bool hasInk(const Surface& surface, Rect rect, Rgb color, int tolerance = 40) {
    for (float y = rect.y(); y < rect.maxY(); y += 0.5f)
        for (float x = rect.x(); x < rect.maxX(); x += 0.5f)
            if (near(pixelAt(surface, x, y), color, tolerance)) return true;
    return false;
}

TEST_F(ViewDrawing, SelectedTabItemIsTintedApartFromTheOthers) {
    auto bar = std::make_shared<TabBar>(Rect{0, 425, 320, 55});
    std::vector<std::shared_ptr<TabBarItem>> items;
    for (int tag = 1; tag <= 5; ++tag)  // the icons' colour must not show: they are templates
        items.push_back(std::make_shared<TabBarItem>("Item", solidPicture(30, 30, kGreen), tag));
    bar->setItems(items);
    bar->setSelectedItem(items[1]);
    window->addSubview(bar);

    auto screen = drawScreen(*window, 2.0f);
    const float iconY = 425 + 6 + 15;
    const Rgb selected = pixelAt(*screen, 64 + 32, iconY);
    const Rgb other = pixelAt(*screen, 32, iconY);
    EXPECT_GT(selected.r, selected.b + 100) << selected;
    EXPECT_NE(other, kGreen);
    EXPECT_NEAR(other.r, other.b, 10) << other;  // grey

    // A title too long for its slot (a translation) is made smaller, not run into the next.
    items[0] = std::make_shared<TabBarItem>("Schnappschuss", solidPicture(30, 30, kGreen), 1);
    bar->setItems(items);
    auto longTitle = drawScreen(*window, 2.0f);
    for (float y = 463; y < 475; y += 0.5f)
        EXPECT_LT(brightness(pixelAt(*longTitle, 64, y)), 150) << y;
    EXPECT_TRUE(hasInk(*longTitle, {2, 463, 60, 12}, other));  // still written, in the tint

    // A bar that takes no touches asks to be drawn again, dimmed.
    const auto generation = View::displayGeneration();
    bar->setUserInteractionEnabled(false);
    EXPECT_GT(View::displayGeneration(), generation);
    auto dimmed = drawScreen(*window, 2.0f);
    EXPECT_LT(brightness(pixelAt(*dimmed, 64 + 32, iconY)), brightness(selected) / 2);
    EXPECT_LT(brightness(pixelAt(*dimmed, 32, iconY)), brightness(other));
}

TEST_F(ViewDrawing, ButtonShowsBackgroundPictureAndTitleAndShadesWhilePressed) {
    auto button = Button::buttonWithType();
    button->setFrame({100, 100, 80, 40});
    button->setBackgroundImage(solidPicture(20, 20, {0, 0, 200}));  // stretched to the frame
    button->setTitle("OFF");
    window->addSubview(button);

    auto normal = drawScreen(*window, 2.0f);
    EXPECT_TRUE(near(pixelAt(*normal, 102, 102), {0, 0, 200}));
    EXPECT_TRUE(near(pixelAt(*normal, 178, 138), {0, 0, 200}));
    EXPECT_TRUE(hasInk(*normal, {125, 110, 30, 20}, kWhite));   // the title, centred
    EXPECT_FALSE(hasInk(*normal, {100, 100, 18, 40}, kWhite));  // ...and only there

    window->touchDown({140, 120});
    auto pressed = drawScreen(*window, 2.0f);
    const Rgb shaded = pixelAt(*pressed, 102, 102);
    EXPECT_LT(shaded.b, 180) << shaded;
    EXPECT_GT(shaded.b, 100) << shaded;  // subtle, not black

    // The finger sliding off and back on changes the shade, and each change is drawn.
    for (const foundation::Point at : {Point{250, 300}, Point{140, 120}}) {
        const auto generation = View::displayGeneration();
        window->touchMoved(at);
        EXPECT_GT(View::displayGeneration(), generation);
    }

    window->touchUp({140, 120});
    EXPECT_TRUE(samePixels(*normal, *drawScreen(*window, 2.0f)));

    // A picture on a button sits centred at its own size.
    button->setFrame({0, 0, 68, 40});
    button->setTitle(std::nullopt);
    button->setImage(solidPicture(20, 10, kRed));
    auto withPicture = drawScreen(*window, 2.0f);
    EXPECT_EQ(pixelAt(*withPicture, 24.2f, 15.2f), kRed);
    EXPECT_NE(pixelAt(*withPicture, 23.8f, 20), kRed);
    EXPECT_NE(pixelAt(*withPicture, 34, 25.2f), kRed);
}

TEST_F(ViewDrawing, SliderThumbSitsAtTheValueBetweenItsTracks) {
    auto slider = std::make_shared<Slider>(Rect{15, 350, 298, 33});
    slider->setMinimumValue(1.0f);
    slider->setMaximumValue(8.0f);
    slider->setThumbImage(solidPicture(30, 30, kRed));
    slider->setMinimumTrackImage(solidPicture(1, 4, kGreen));
    slider->setMaximumTrackImage(solidPicture(1, 4, kBlue));
    window->addSubview(slider);
    const float y = 350 + 16.5f;
    // The thumb's centre travels between half a thumb in from either end; the track pictures
    // span the whole slider, the minimum's before the thumb and the maximum's after it.
    const std::pair<float, float> centres[] = {{1.0f, 30}, {4.5f, 164}, {8.0f, 298}};
    for (const auto& [value, centre] : centres) {
        slider->setValue(value);
        auto drawn = drawScreen(*window);
        SCOPED_TRACE(value);
        EXPECT_EQ(pixelAt(*drawn, centre, y - 14), kRed);
        EXPECT_EQ(pixelAt(*drawn, centre, y - 16), kBlack);
        for (float x = 16; x < 313; x += 8)
            EXPECT_EQ(pixelAt(*drawn, x, y), std::abs(x - centre) < 16 ? kRed
                                             : x < centre              ? kGreen
                                                                       : kBlue)
                << x;
    }
}

TEST_F(ViewDrawing, LabelTextFollowsItsAlignment) {
    auto label = std::make_shared<Label>(Rect{0, 100, 320, 40});
    label->setText("00:15");
    label->setTextColor(Color::white());
    label->setFontSize(30.0f);
    window->addSubview(label);

    const std::tuple<TextAlignment, Rect, Rect> placements[] = {
        {TextAlignment::Left, {0, 100, 100, 40}, {200, 100, 120, 40}},
        {TextAlignment::Center, {110, 100, 100, 40}, {0, 100, 100, 40}},
        {TextAlignment::Right, {220, 100, 100, 40}, {0, 100, 200, 40}}};
    for (const auto& [alignment, inked, blank] : placements) {
        label->setTextAlignment(alignment);
        auto drawn = drawScreen(*window);
        EXPECT_TRUE(hasInk(*drawn, inked, kWhite));
        EXPECT_FALSE(hasInk(*drawn, blank, kWhite));
    }

    // Lines break at '\n', one above the other, the block centred in the label.
    label->setFrame({0, 200, 320, 100});
    label->setText("I\nI");
    label->setTextAlignment(TextAlignment::Center);
    auto lines = drawScreen(*window);
    EXPECT_TRUE(hasInk(*lines, {140, 212, 40, 26}, kWhite));
    EXPECT_TRUE(hasInk(*lines, {140, 262, 40, 26}, kWhite));
    EXPECT_FALSE(hasInk(*lines, {0, 200, 320, 8}, kWhite));
    EXPECT_FALSE(hasInk(*lines, {0, 292, 320, 8}, kWhite));
}

}  // namespace
}  // namespace platform::ui
