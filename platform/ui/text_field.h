#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/view.h"

namespace platform::ui {

// Text the user types, one line or many, held as UTF-8. A tap makes the field the
// window's first responder and puts the caret where the finger lifted. The caret moves,
// and Backspace and Delete remove, a whole character at a time; a character is never
// split. A single line scrolls sideways and many lines wrap at spaces and scroll down, so
// that the caret stays in view. Tab, Escape, and Return on a single line are left to the
// responders further along (a screen moves on to its next field).
class TextField : public View {
  public:
    enum class Lines { Single, Multiple };
    explicit TextField(foundation::Rect frame = {}, Lines lines = Lines::Single);

    const std::string& text() const { return text_; }
    // As a program sets it: the caret goes to the end and no editing-changed call is made.
    void setText(std::string text);
    bool isMultiline() const { return lines_ == Lines::Multiple; }
    // A byte offset into text(), always where a character begins (or at the end).
    std::size_t caret() const { return caret_; }

    float fontSize() const { return fontSize_; }
    void setFontSize(float size);
    Color textColor() const { return textColor_; }
    void setTextColor(Color color);
    // A field that is not editable only shows its text (a wrapped note under a field).
    bool isEditable() const { return editable_; }
    void setEditable(bool editable);
    // A disabled field keeps its text but takes no touch, key or text, and shows dimmed.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // After every change the user makes: typing, deleting, pasting.
    void setEditingChangedHandler(std::function<void()> handler) {
        editingChanged_ = std::move(handler);
    }

    bool becomeFirstResponder();
    void resignFirstResponder();
    bool isFirstResponder() const;

    // The height that shows every line, margins included.
    float contentHeight() const;
    // Where the caret is drawn, in the field's own points, scrolling included.
    foundation::Rect caretRect() const;
    // How far the text is scrolled: sideways on one line, down on many.
    foundation::Point scrollOffset() const { return scroll_; }

    void touchesBegan(const Touches& touches) override;
    void touchesMoved(const Touches& touches) override;
    void touchesEnded(const Touches& touches) override;
    void touchesCancelled(const Touches& touches) override;
    bool keyDown(const KeyPress& key) override;
    bool insertText(std::string_view utf8) override;
    bool acceptsTextInput() const override { return editable_ && enabled_; }
    bool scrollWheel(const WheelEvent& wheel) override;
    void draw(graphics::DrawingContext& context) const override;

  private:
    static constexpr float kMarginX = 4.0f;
    static constexpr float kMarginY = 6.0f;

    // One drawn line: the bytes [start, end) of the text; wrapped lines keep their
    // trailing spaces, a line ended by a newline stops before it.
    struct Line {
        std::size_t start = 0;
        std::size_t end = 0;
    };
    const std::vector<Line>& lines() const;
    std::size_t lineOfCaret() const;
    // The last offset of a line the caret can take without landing on the next line.
    std::size_t lastCaretOffset(std::size_t line) const;
    float lineHeight() const;
    float lineTop(std::size_t line) const;
    float widthOf(std::size_t from, std::size_t to) const;
    std::size_t offsetNear(std::size_t line, float x) const;
    std::size_t offsetAt(foundation::Point point) const;

    void replace(std::size_t from, std::size_t to, std::string_view replacement);
    void moveCaret(std::size_t offset, bool keepGoal = false);
    void moveVertically(int lines);
    bool editingKey(const KeyPress& key);
    void scrollToCaret();
    void clampScroll();
    float visibleTextWidth() const;

    Lines lines_;
    std::string text_;
    std::size_t caret_ = 0;
    float fontSize_ = 15.0f;
    Color textColor_ = Color::white();
    bool editable_ = true;
    bool enabled_ = true;
    std::function<void()> editingChanged_;
    foundation::Point scroll_;
    // Up and Down keep to the column they started from.
    std::optional<float> goalX_;
    // A finger on a multi-line field scrolls it; one that hardly moves places the caret.
    std::optional<foundation::Point> touchPoint_;
    float touchTravel_ = 0.0f;

    mutable std::vector<Line> layout_;
    mutable bool layoutValid_ = false;
    mutable float layoutWidth_ = -1.0f;
};

}  // namespace platform::ui
