#include <gtest/gtest.h>

#include <memory>

#include "platform/ui/button.h"
#include "platform/ui/label.h"
#include "platform/ui/slider.h"
#include "platform/ui/tab_bar.h"
#include "platform/ui/window.h"
#include "tests/ui/screen_pixels.h"

namespace {

using namespace screen_pixels;
using platform::foundation::Point;
using platform::foundation::Rect;
using platform::ui::Window;

constexpr Rgb kWhite{255, 255, 255};

int brightness(Rgb c) {
    return c.r + c.g + c.b;
}

// The leftmost x (in points) of a non-black pixel on the row, or -1.
float firstInkX(const Surface& surface, float y, Rect span) {
    for (float x = span.x(); x < span.maxX(); x += 0.5f)
        if (pixelAt(surface, x, y) != kBlack) return x;
    return -1;
}

bool hasInk(const Surface& surface, Rect rect, Rgb color, int tolerance = 40) {
    for (float y = rect.y(); y < rect.maxY(); y += 0.5f)
        for (float x = rect.x(); x < rect.maxX(); x += 0.5f)
            if (near(pixelAt(surface, x, y), color, tolerance)) return true;
    return false;
}

TEST(ControlDrawing, SelectedTabItemIsTintedApartFromTheOthers) {
    auto window = std::make_shared<Window>();
    auto bar = std::make_shared<platform::ui::TabBar>(Rect{0, 425, 320, 55});
    std::vector<std::shared_ptr<platform::ui::TabBarItem>> items;
    for (int tag = 1; tag <= 5; ++tag)
        items.push_back(std::make_shared<platform::ui::TabBarItem>(
            "Item", solidPicture(30, 30, kGreen), tag));  // the colour must not show: a template
    bar->setItems(items);
    bar->setSelectedItem(items[1]);
    window->addSubview(bar);

    auto screen = drawScreen(*window, 2.0f);
    const float iconY = 425 + 6 + 15;
    const Rgb selected = pixelAt(*screen, 64 + 32, iconY);
    const Rgb other = pixelAt(*screen, 32, iconY);
    EXPECT_NE(selected, other);
    EXPECT_EQ(pixelAt(*screen, 128 + 32, iconY), other);
    EXPECT_GT(brightness(selected), 400) << selected;  // bright accent
    EXPECT_GT(selected.r, selected.b + 100) << selected;
    EXPECT_NE(other, kGreen);
    EXPECT_NEAR(other.r, other.b, 10) << other;  // grey
    // The bar itself is dark.
    EXPECT_LT(brightness(pixelAt(*screen, 5, 428)), 120);

    // A title too long for its slot (a translation) is made smaller, not run into the next.
    items[0] = std::make_shared<platform::ui::TabBarItem>("Schnappschuss",
                                                          solidPicture(30, 30, kGreen), 1);
    bar->setItems(items);
    auto longTitle = drawScreen(*window, 2.0f);
    for (float y = 463; y < 475; y += 0.5f)
        EXPECT_LT(brightness(pixelAt(*longTitle, 64, y)), 150) << y;
    float brightest = 0;
    for (float x = 2; x < 62; x += 0.5f)
        brightest = std::max<float>(brightest, brightness(pixelAt(*longTitle, x, 469)));
    EXPECT_GT(brightest, 300);  // still written

    // A bar that takes no touches asks to be drawn again, dimmed.
    const auto generation = platform::ui::View::displayGeneration();
    bar->setUserInteractionEnabled(false);
    EXPECT_GT(platform::ui::View::displayGeneration(), generation);
    auto dimmed = drawScreen(*window, 2.0f);
    EXPECT_LT(brightness(pixelAt(*dimmed, 64 + 32, iconY)), brightness(selected) / 2);
    EXPECT_LT(brightness(pixelAt(*dimmed, 32, iconY)), brightness(other));
}

TEST(ControlDrawing, ButtonShowsBackgroundPictureAndTitleAndShadesWhilePressed) {
    auto window = std::make_shared<Window>();
    auto button = platform::ui::Button::buttonWithType();
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
    for (const platform::foundation::Point at : {Point{250, 300}, Point{140, 120}}) {
        const auto generation = platform::ui::View::displayGeneration();
        window->touchMoved(at);
        EXPECT_GT(platform::ui::View::displayGeneration(), generation);
    }
    EXPECT_TRUE(button->isHighlighted());

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

TEST(ControlDrawing, SliderThumbSitsAtTheValue) {
    auto window = std::make_shared<Window>();
    auto slider = std::make_shared<platform::ui::Slider>(Rect{15, 350, 298, 33});
    slider->setMinimumValue(1.0f);
    slider->setMaximumValue(8.0f);
    slider->setThumbImage(solidPicture(30, 30, kRed));
    slider->setMinimumTrackImage(solidPicture(1, 4, kGreen));
    slider->setMaximumTrackImage(solidPicture(1, 4, kBlue));
    window->addSubview(slider);
    const float y = 350 + 16.5f;

    slider->setValue(1.0f);
    auto atMinimum = drawScreen(*window);
    EXPECT_EQ(pixelAt(*atMinimum, 15 + 15, y), kRed);
    EXPECT_EQ(pixelAt(*atMinimum, 15 + 200, y), kBlue);  // the track beyond the thumb

    slider->setValue(8.0f);
    auto atMaximum = drawScreen(*window);
    EXPECT_EQ(pixelAt(*atMaximum, 313 - 15, y), kRed);
    EXPECT_EQ(pixelAt(*atMaximum, 15 + 100, y), kGreen);  // the track before it
    EXPECT_EQ(pixelAt(*atMaximum, 15 + 15, y), kGreen);

    slider->setValue(4.5f);  // half way
    auto midway = drawScreen(*window);
    EXPECT_EQ(pixelAt(*midway, 15 + 149, y), kRed);
    EXPECT_EQ(pixelAt(*midway, 15 + 149, y - 14), kRed);
    EXPECT_EQ(pixelAt(*midway, 15 + 149, y - 16), kBlack);
}

TEST(ControlDrawing, LabelTextFollowsItsAlignment) {
    auto window = std::make_shared<Window>();
    auto label = std::make_shared<platform::ui::Label>(Rect{0, 100, 320, 40});
    label->setText("00:15");
    label->setTextColor(platform::ui::Color::white());
    label->setFontSize(30.0f);
    window->addSubview(label);
    const Rect row{0, 100, 320, 40};

    auto left = drawScreen(*window);
    EXPECT_TRUE(hasInk(*left, {0, 100, 100, 40}, kWhite));
    label->setTextAlignment(platform::ui::TextAlignment::Center);
    auto centred = drawScreen(*window);
    EXPECT_FALSE(hasInk(*centred, {0, 100, 100, 40}, kWhite));
    EXPECT_TRUE(hasInk(*centred, {110, 100, 100, 40}, kWhite));
    label->setTextAlignment(platform::ui::TextAlignment::Right);
    auto right = drawScreen(*window);
    EXPECT_GT(firstInkX(*right, 120, row), 200.0f);

    // Lines break at '\n', one above the other, the block centred in the label.
    label->setFrame({0, 200, 320, 100});
    label->setText("I\nI");
    label->setTextAlignment(platform::ui::TextAlignment::Center);
    auto lines = drawScreen(*window);
    EXPECT_TRUE(hasInk(*lines, {140, 212, 40, 26}, kWhite));
    EXPECT_TRUE(hasInk(*lines, {140, 262, 40, 26}, kWhite));
    EXPECT_FALSE(hasInk(*lines, {0, 200, 320, 8}, kWhite));
    EXPECT_FALSE(hasInk(*lines, {0, 292, 320, 8}, kWhite));
}

}  // namespace
