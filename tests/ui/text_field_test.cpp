#include "platform/ui/text_field.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/ui/clipboard.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

using foundation::Rect;

class TextFieldTest : public testing::Test {
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

TEST_F(TextFieldTest, EditsAndMovesByWholeCharactersOfAnyLength) {
    auto field = show({0, 0, 300, 44}, TextField::Lines::Single);
    window->tap({10, 20});
    ASSERT_TRUE(field->isFirstResponder());
    ASSERT_TRUE(window->insertText("aé€😀"));  // 1, 2, 3 and 4 bytes
    EXPECT_EQ(field->caret(), field->text().size());

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

TEST_F(TextFieldTest, ManyLinesTakeReturnKeepTheColumnAndWrapAtSpaces) {
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

TEST_F(TextFieldTest, TheCaretStaysInViewAsTheTextOutgrowsTheField) {
    auto field = show({0, 0, 300, 80}, TextField::Lines::Multiple);
    field->becomeFirstResponder();
    for (int line = 0; line < 12; ++line) window->insertText("line\n");
    auto inView = [&] {
        const Rect caret = field->caretRect();
        return caret.y() >= 0 && caret.maxY() <= field->frame().height();
    };
    EXPECT_TRUE(inView()) << field->caretRect().y();
    EXPECT_GT(field->scrollOffset().y, 0);
    press(Key::Up, 12);
    EXPECT_EQ(field->caret(), 0u);
    EXPECT_TRUE(inView()) << field->caretRect().y();
    EXPECT_EQ(field->scrollOffset().y, 0);
}

TEST_F(TextFieldTest, PasteTakesTheClipboardAsTheFieldAllowsIt) {
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

TEST_F(TextFieldTest, OnlyAFocusedEnabledFieldInTheWindowTakesTextAndTheKeysThatType) {
    auto field = show({0, 0, 300, 44}, TextField::Lines::Single);
    EXPECT_FALSE(window->isEditingText());
    EXPECT_FALSE(window->insertText("x"));
    window->tap({100, 20});
    EXPECT_TRUE(window->isEditingText());
    // Space and + type through text input; as keys they mean nothing else meanwhile.
    EXPECT_TRUE(window->keyDown({Key::Space}));
    EXPECT_TRUE(window->keyDown({Key::Plus}));
    EXPECT_TRUE(window->insertText("1 +"));
    EXPECT_EQ(field->text(), "1 +");
    // Tab and Return on one line are for the screen to handle.
    EXPECT_FALSE(window->keyDown({Key::Tab}));
    EXPECT_FALSE(window->keyDown({Key::Return}));

    field->setEnabled(false);
    EXPECT_FALSE(window->isEditingText());
    EXPECT_FALSE(window->insertText("y"));
    EXPECT_FALSE(window->keyDown({Key::Backspace}));
    field->setEnabled(true);

    field->removeFromSuperview();
    EXPECT_EQ(window->firstResponder(), nullptr);
    EXPECT_FALSE(window->isEditingText());
    EXPECT_EQ(field->text(), "1 +");
}

}  // namespace
}  // namespace platform::ui
