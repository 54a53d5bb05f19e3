#include <gtest/gtest.h>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/activity_indicator.h"
#include "platform/ui/slider.h"
#include "platform/ui/tab_bar.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

using foundation::Rect;

// The thumb's centre follows the finger: its middle travel between half a thumb from either
// end gives the middle value.
TEST(SliderTouch, TheFingerPlacesTheThumbsCentre) {
    auto slider = std::make_shared<Slider>(Rect{15, 350, 298, 33});
    slider->setMinimumValue(1.0f);
    slider->setMaximumValue(8.0f);
    auto window = std::make_shared<Window>();
    window->addSubview(slider);
    const float half = slider->thumbWidth() / 2;
    const float travel = 298 - slider->thumbWidth();
    window->touchDown({15 + half + travel / 2, 360});
    EXPECT_NEAR(slider->value(), 4.5f, 1e-4f);
    window->touchMoved({15 + half + travel / 4, 360});
    EXPECT_NEAR(slider->value(), 1.0f + 7.0f / 4, 1e-4f);
    window->touchMoved({15 + half, 360});
    EXPECT_NEAR(slider->value(), 1.0f, 1e-4f);
    window->touchUp({15 + half, 360});
    // Where the thumb is drawn for a value is where a finger gives that value.
    slider->setValue(6.0f);
    EXPECT_NEAR(slider->valueForX(slider->thumbCenterX()), 6.0f, 1e-4f);
}

// A finger that slides off the tab it pressed and lifts on another one chooses nothing.
TEST(TabBarTouch, APressReleasedOnAnotherTabSelectsNothing) {
    struct Delegate : TabBarDelegate {
        int selections = 0;
        void tabBarDidSelectItem(TabBar&, TabBarItem&) override { ++selections; }
    };
    auto delegate = std::make_shared<Delegate>();
    auto bar = std::make_shared<TabBar>(Rect{0, 425, 320, 55});
    std::vector<std::shared_ptr<TabBarItem>> items;
    for (int tag = 1; tag <= 5; ++tag)
        items.push_back(std::make_shared<TabBarItem>("t", nullptr, tag));
    bar->setItems(items);
    bar->setSelectedItem(items[0]);
    bar->setDelegate(delegate);
    auto window = std::make_shared<Window>();
    window->addSubview(bar);
    window->touchDown({32 + 64, 452});
    window->touchMoved({32 + 64 * 3, 452});
    window->touchUp({32 + 64 * 3, 452});
    EXPECT_EQ(delegate->selections, 0);
    EXPECT_EQ(bar->selectedItem(), items[0]);
    window->touchDown({32 + 64 * 3, 452});
    window->touchUp({32 + 64 * 3, 452});
    EXPECT_EQ(delegate->selections, 1);
    EXPECT_EQ(bar->selectedItem(), items[3]);
}

// Asked to start again while it turns, the spinner turns on as if asked once: it never jumps
// back to its first spoke.
TEST(ActivityIndicatorTurn, ASecondStartLeavesTheTurnUnbroken) {
    auto& loop = foundation::RunLoop::main();
    auto clock = std::make_shared<foundation::VirtualClock>();
    loop.setClock(clock);
    ActivityIndicator once({0, 0, 30, 30}), twice({0, 0, 30, 30});
    once.startAnimating();
    twice.startAnimating();
    clock->advanceTo(clock->now() + 0.3);
    twice.startAnimating();
    clock->advanceTo(clock->now() + 0.2);
    EXPECT_TRUE(twice.isAnimating());
    EXPECT_NE(once.leadSpoke(loop.now()), 0);
    EXPECT_EQ(twice.leadSpoke(loop.now()), once.leadSpoke(loop.now()));
    loop.setClock(std::make_shared<foundation::SystemClock>());
}

}  // namespace
}  // namespace platform::ui
