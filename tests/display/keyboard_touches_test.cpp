#include <gtest/gtest.h>

#include <memory>

#include "platform/display/keyboard_touches.h"
#include "platform/media/live_picture_view.h"
#include "platform/ui/tab_bar.h"
#include "platform/ui/window.h"

namespace {

using platform::display::livePictureTouchPoint;
using platform::display::tabItemTouchPoint;
using platform::foundation::Point;
using platform::foundation::Rect;

struct CaptureLayout {
    std::shared_ptr<platform::ui::Window> window = std::make_shared<platform::ui::Window>();
    std::shared_ptr<platform::media::LivePictureView> live =
        std::make_shared<platform::media::LivePictureView>(Rect{0, 0, 320, 480});
    std::shared_ptr<platform::ui::View> overlay =
        std::make_shared<platform::ui::View>(Rect{0, 0, 320, 480});
    std::shared_ptr<platform::ui::TabBar> bar =
        std::make_shared<platform::ui::TabBar>(Rect{0, 425, 320, 55});

    CaptureLayout() {
        std::vector<std::shared_ptr<platform::ui::TabBarItem>> items;
        for (int tag = 1; tag <= 5; ++tag)
            items.push_back(std::make_shared<platform::ui::TabBarItem>("", nullptr, tag));
        bar->setItems(items);
        overlay->addSubview(bar);
        live->addSubview(overlay);
        window->addSubview(live);
    }
};

TEST(KeyboardTouches, PointsAreTheCentresOfThePictureAboveTheBarAndOfTheItems) {
    CaptureLayout layout;
    EXPECT_EQ(livePictureTouchPoint(*layout.window), (Point{160, 212.5f}));
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(tabItemTouchPoint(*layout.window, i), (Point{32.0f + 64.0f * i, 452.5f}));
    EXPECT_EQ(tabItemTouchPoint(*layout.window, 5), std::nullopt);
}

TEST(KeyboardTouches, OnlyWhatIsShownCounts) {
    CaptureLayout layout;
    layout.overlay->setHidden(true);
    EXPECT_EQ(tabItemTouchPoint(*layout.window, 0), std::nullopt);
    EXPECT_EQ(livePictureTouchPoint(*layout.window), (Point{160, 240}));  // no bar now

    layout.live->setHidden(true);
    EXPECT_EQ(livePictureTouchPoint(*layout.window), std::nullopt);
}

TEST(KeyboardTouches, MovedBarIsFollowed) {
    CaptureLayout layout;
    layout.bar->setFrame({0, 380, 320, 55});
    layout.live->setFrame({0, 20, 320, 460});
    // The bar lies in the live picture's overlay: at 20 + 380 in the window.
    EXPECT_EQ(tabItemTouchPoint(*layout.window, 1), (Point{96, 427.5f}));
    EXPECT_EQ(livePictureTouchPoint(*layout.window), (Point{160, 210}));  // 20 .. 400
}

}  // namespace
