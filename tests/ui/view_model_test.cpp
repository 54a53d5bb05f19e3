#include <gtest/gtest.h>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/button.h"
#include "platform/ui/slider.h"
#include "platform/ui/tab_bar.h"
#include "platform/ui/view_controller.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

using foundation::Point;
using foundation::Rect;

TEST(ViewTreeTest, AddingASubviewElsewhereTakesItFromItsOldParent) {
    auto parent = std::make_shared<View>(Rect{0, 0, 100, 100});
    auto a = std::make_shared<View>(), b = std::make_shared<View>();
    parent->addSubview(a);
    parent->addSubview(b);
    auto other = std::make_shared<View>();
    other->addSubview(a);
    EXPECT_EQ(parent->subviews(), std::vector<std::shared_ptr<View>>{b});
    EXPECT_EQ(a->superview(), other);
    a->removeFromSuperview();
    EXPECT_EQ(a->superview(), nullptr);
    EXPECT_TRUE(other->subviews().empty());
}

TEST(ViewTreeTest, HitTestSkipsHiddenNonInteractiveAndOutsideViewsAndTouchesGoUpTheChain) {
    struct Screen : ViewController {
        int touches = 0;
        void touchesBegan(const Touches&) override { ++touches; }
    };
    auto window = std::make_shared<Window>();
    auto screen = std::make_shared<Screen>();
    auto below = screen->view();
    auto hiddenTop = std::make_shared<View>(Rect{0, 0, 320, 480});
    auto deaf = std::make_shared<View>(Rect{0, 0, 320, 480});
    auto panel = std::make_shared<View>(Rect{-100, 0, 150, 100});
    auto onPanel = std::make_shared<View>(Rect{10, 10, 50, 50});
    window->addSubview(below);
    below->addSubview(panel);
    panel->addSubview(onPanel);
    window->addSubview(hiddenTop);
    window->addSubview(deaf);
    hiddenTop->setHidden(true);
    deaf->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest({200, 200}), below);
    // (20, 20) on the screen is (120, 20) in the panel: inside the panel, outside onPanel.
    EXPECT_EQ(window->hitTest({20, 20}), panel);
    // onPanel lies at x -90..-40 on the screen: a point there is outside the window.
    EXPECT_EQ(window->hitTest({-50, 30}), nullptr);
    EXPECT_EQ(onPanel->convertFromWindow({-80, 20}), (Point{10, 10}));
    // A touch no view takes reaches the view's controller.
    window->tap({200, 200});
    EXPECT_EQ(screen->touches, 1);
}

TEST(ControlTest, TouchUpInsideFiresOnlyInsideAndTargetsAreHeldWeakly) {
    struct Target {
        int presses = 0;
        void press() { ++presses; }
    };
    auto window = std::make_shared<Window>();
    auto button = Button::buttonWithType();
    button->setFrame({10, 10, 50, 50});
    window->addSubview(button);
    auto target = std::make_shared<Target>();
    button->addTarget(target, &Target::press, ControlEventTouchUpInside);
    window->tap({20, 20});
    window->touchDown({20, 20});
    window->touchMoved({200, 200});
    window->touchUp({200, 200});
    EXPECT_EQ(target->presses, 1);
    target.reset();
    window->tap({20, 20});  // the target is gone: nothing happens, nothing crashes
}

TEST(ControlTest, SliderClampsSetValueSilentlyAndDragsWithEvents) {
    struct Target {
        int changes = 0;
        void changed(Control*) { ++changes; }
    };
    auto target = std::make_shared<Target>();
    auto slider = std::make_shared<Slider>(Rect{15, 350, 298, 33});
    slider->setMinimumValue(1.0f);
    slider->setMaximumValue(8.0f);
    slider->addTarget(target, &Target::changed, ControlEventValueChanged);
    slider->setValue(20.0f);
    EXPECT_EQ(slider->value(), 8.0f);
    slider->setValue(-3.0f);
    EXPECT_EQ(slider->value(), 1.0f);
    EXPECT_EQ(target->changes, 0);
    auto window = std::make_shared<Window>();
    window->addSubview(slider);
    window->touchDown({15 + 14, 360});
    window->touchMoved({15 + 298 - 14, 360});
    window->touchUp({15 + 298 - 14, 360});
    EXPECT_FLOAT_EQ(slider->value(), 8.0f);
    EXPECT_GE(target->changes, 1);
}

TEST(TabBarTest, OnlyAUsersSelectionTellsTheDelegate) {
    struct Delegate : TabBarDelegate {
        std::vector<int> tags;
        void tabBarDidSelectItem(TabBar&, TabBarItem& item) override { tags.push_back(item.tag()); }
    };
    auto delegate = std::make_shared<Delegate>();
    auto bar = std::make_shared<TabBar>(Rect{0, 425, 320, 55});
    std::vector<std::shared_ptr<TabBarItem>> items;
    for (int tag = 1; tag <= 5; ++tag)
        items.push_back(std::make_shared<TabBarItem>("t", nullptr, tag));
    bar->setItems(items);
    bar->setDelegate(delegate);
    bar->setSelectedItem(items[2]);
    EXPECT_TRUE(delegate->tags.empty());
    auto window = std::make_shared<Window>();
    window->addSubview(bar);
    window->tap({32 + 64 * 3, 452});
    EXPECT_EQ(delegate->tags, std::vector<int>{4});
    EXPECT_EQ(bar->selectedItem(), items[3]);
    bar->setUserInteractionEnabled(false);
    window->tap({32, 452});
    EXPECT_EQ(bar->selectedItem(), items[3]);
}

TEST(ViewControllerTest, ViewLoadsOnceOnFirstAccessAndPresentationStacks) {
    struct Screen : ViewController {
        int loads = 0;
        void viewDidLoad() override { ++loads; }
    };
    auto window = std::make_shared<Window>();
    window->makeKeyAndVisible();
    auto first = std::make_shared<Screen>(), second = std::make_shared<Screen>();
    EXPECT_FALSE(first->isViewLoaded());
    window->addSubview(first->view());
    first->view();
    EXPECT_EQ(first->loads, 1);
    first->presentModalViewController(second, true);
    EXPECT_EQ(second->view()->superview().get(), window.get());
    EXPECT_EQ(second->view()->frame(), (Rect{0, 0, 320, 480}));  // the model ends at once
    second->dismissModalViewControllerAnimated(true);
    EXPECT_EQ(first->modalViewController(), nullptr);
    EXPECT_EQ(second->view()->superview(), nullptr);
}

}  // namespace
}  // namespace platform::ui
