#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/ui/button.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/slider.h"
#include "platform/ui/tab_bar.h"
#include "platform/ui/text_field.h"
#include "platform/ui/view_controller.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

using foundation::Rect;

// Views, controls and text fields on a window, touched and typed into as a user would.
class ViewModel : public testing::Test {
  protected:
    std::shared_ptr<TextField> show(Rect frame, TextField::Lines lines) {
        auto field = std::make_shared<TextField>(frame, lines);
        window->addSubview(field);
        return field;
    }
    void press(Key key, int times = 1) {
        for (int i = 0; i < times; ++i) window->keyDown({key});
    }

    std::shared_ptr<Window> window = std::make_shared<Window>();
};

TEST_F(ViewModel, AddingASubviewElsewhereTakesItFromItsOldParent) {
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

TEST_F(ViewModel, HitTestSkipsHiddenNonInteractiveAndOutsideViewsAndTouchesGoUpTheChain) {
    struct Screen : ViewController {
        int touches = 0, loads = 0;
        void viewDidLoad() override { ++loads; }
        void touchesBegan(const Touches&) override { ++touches; }
    };
    auto screen = std::make_shared<Screen>();
    auto below = screen->view();
    auto hiddenTop = std::make_shared<View>(Rect{0, 0, 320, 480});
    auto deaf = std::make_shared<View>(Rect{0, 0, 320, 480});
    auto panel = std::make_shared<View>(Rect{-100, 0, 150, 100});
    window->addSubview(screen->view());
    EXPECT_EQ(screen->loads, 1);  // on first use, once
    below->addSubview(panel);
    window->addSubview(hiddenTop);
    window->addSubview(deaf);
    hiddenTop->setHidden(true);
    deaf->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest({200, 200}), below);
    EXPECT_EQ(window->hitTest({20, 20}), panel);
    EXPECT_EQ(window->hitTest({-50, 30}), nullptr);  // on the panel, but outside the window
    // A touch no view takes reaches the view's controller.
    window->tap({200, 200});
    EXPECT_EQ(screen->touches, 1);
}

TEST_F(ViewModel, TouchUpInsideFiresOnlyInsideAndTargetsAreHeldWeakly) {
    struct Target {
        int presses = 0;
        void press() { ++presses; }
    };
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

// The thumb's centre follows the finger: its travel runs between half a thumb from either end.
TEST_F(ViewModel, SliderClampsSetValueSilentlyAndTheFingerPlacesTheThumbsCentre) {
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

    window->addSubview(slider);
    const float half = slider->thumbWidth() / 2;
    const float travel = 298 - slider->thumbWidth();
    window->touchDown({15 + half + travel / 2, 360});
    EXPECT_NEAR(slider->value(), 4.5f, 1e-4f);
    window->touchMoved({15 + half + travel / 4, 360});
    EXPECT_NEAR(slider->value(), 1.0f + 7.0f / 4, 1e-4f);
    window->touchMoved({15 + half + travel, 360});
    window->touchUp({15 + half + travel, 360});
    EXPECT_FLOAT_EQ(slider->value(), 8.0f);
    EXPECT_EQ(target->changes, 3);
}

// Only a tab pressed and released by the user is chosen, and only that tells the delegate.
TEST_F(ViewModel, OnlyATabPressedAndReleasedByTheUserIsChosenAndTold) {
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
    window->addSubview(bar);
    window->touchDown({32 + 64, 452});  // slid off the tab it pressed, lifted on another
    window->touchMoved({32 + 64 * 3, 452});
    window->touchUp({32 + 64 * 3, 452});
    EXPECT_EQ(bar->selectedItem(), items[2]);
    window->tap({32 + 64 * 3, 452});
    EXPECT_EQ(delegate->tags, std::vector<int>{4});
    EXPECT_EQ(bar->selectedItem(), items[3]);
    bar->setUserInteractionEnabled(false);
    window->tap({32, 452});
    EXPECT_EQ(bar->selectedItem(), items[3]);
}

TEST_F(ViewModel, EditsAndMovesByWholeCharactersOfAnyLength) {
    auto field = show({0, 0, 300, 44}, TextField::Lines::Single);
    window->tap({10, 20});
    ASSERT_TRUE(window->insertText("aé€😀"));  // 1, 2, 3 and 4 bytes

    press(Key::Left);
    EXPECT_EQ(field->caret(), std::string("aé€").size());
    press(Key::Backspace);
    EXPECT_EQ(field->text(), "aé😀");
    press(Key::Right);
    press(Key::Backspace);
    EXPECT_EQ(field->text(), "aé");
    press(Key::Home);
    press(Key::Right);
    press(Key::Delete);
    EXPECT_EQ(field->text(), "a");
    press(Key::Delete);  // at the end: nothing to take
    EXPECT_EQ(field->text(), "a");

    // Bytes that are no character come in as U+FFFD, never as half of one.
    window->insertText("\xE2\x82");
    EXPECT_EQ(field->text(), "a\xEF\xBF\xBD");
    press(Key::Backspace);
    EXPECT_EQ(field->text(), "a");
}

TEST_F(ViewModel, ManyLinesTakeReturnKeepTheColumnAndWrapAtSpaces) {
    auto field = show({0, 0, 300, 200}, TextField::Lines::Multiple);
    ASSERT_TRUE(field->becomeFirstResponder());
    window->insertText("abc");
    EXPECT_TRUE(window->keyDown({Key::Return}));
    window->insertText("defghij");
    EXPECT_EQ(field->text(), "abc\ndefghij");

    // Up lands at the end of the shorter line; Down goes back to the column it came from.
    press(Key::Up);
    EXPECT_EQ(field->caret(), 3u);
    press(Key::Down);
    EXPECT_EQ(field->caret(), field->text().size());

    // A word that no longer fits starts the next line, which Home goes to.
    auto narrow = show({0, 0, 60, 200}, TextField::Lines::Multiple);
    narrow->becomeFirstResponder();
    window->insertText("wwww wwww");
    press(Key::Home);
    EXPECT_EQ(narrow->caret(), 5u);
    press(Key::Up);
    EXPECT_EQ(narrow->caret(), 0u);
}

TEST_F(ViewModel, TheCaretStaysInViewAsTheTextOutgrowsTheField) {
    auto field = show({0, 0, 300, 80}, TextField::Lines::Multiple);
    field->becomeFirstResponder();
    for (int line = 0; line < 12; ++line) window->insertText("line\n");
    auto inView = [&] {
        const Rect caret = field->caretRect();
        return caret.y() >= 0 && caret.maxY() <= field->frame().height();
    };
    EXPECT_TRUE(inView()) << field->caretRect().y();
    press(Key::Up, 12);
    EXPECT_TRUE(inView()) << field->caretRect().y();
    EXPECT_EQ(field->scrollOffset().y, 0);
}

TEST_F(ViewModel, PasteTakesTheClipboardAsTheFieldAllowsIt) {
    auto single = show({0, 0, 300, 44}, TextField::Lines::Single);
    auto many = show({0, 50, 300, 200}, TextField::Lines::Multiple);
    setClipboardText("one\ttwo\r\nthree");
    single->becomeFirstResponder();
    EXPECT_TRUE(window->keyDown({Key::Paste, true}));
    many->becomeFirstResponder();
    EXPECT_TRUE(window->keyDown({Key::Paste, true}));
    EXPECT_EQ(single->text(), "one two three");
    EXPECT_EQ(many->text(), "one two\nthree");
    setClipboardText({});
}

TEST_F(ViewModel, OnlyAFocusedEnabledFieldInTheWindowTakesTextAndTheKeysThatType) {
    auto field = show({0, 0, 300, 44}, TextField::Lines::Single);
    EXPECT_FALSE(window->insertText("x"));
    window->tap({100, 20});
    EXPECT_TRUE(window->isEditingText());
    // Space and + type through text input; as keys they mean nothing else meanwhile.
    EXPECT_TRUE(window->keyDown({Key::Space}));
    EXPECT_TRUE(window->keyDown({Key::Plus}));
    EXPECT_TRUE(window->insertText("1 +"));
    EXPECT_EQ(field->text(), "1 +");

    field->setEnabled(false);
    EXPECT_FALSE(window->isEditingText());
    EXPECT_FALSE(window->insertText("y"));
    EXPECT_FALSE(window->keyDown({Key::Backspace}));
    field->setEnabled(true);

    field->removeFromSuperview();
    EXPECT_EQ(window->firstResponder(), nullptr);
}

}  // namespace
}  // namespace platform::ui
