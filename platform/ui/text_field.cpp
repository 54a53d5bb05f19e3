#include "platform/ui/text_field.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/graphics/drawing_context.h"
#include "platform/graphics/surface.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/image_named.h"
#include "platform/ui/window.h"

namespace platform::ui {

using foundation::Point;
using foundation::Rect;

namespace {

constexpr float kLineSpacing = 1.35f;
constexpr float kTapTravel = 6.0f;
constexpr float kWheelLines = 3.0f;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

std::size_t nextCharacter(const std::string& text, std::size_t at) {
    if (at >= text.size()) return text.size();
    ++at;
    while (at < text.size() && isContinuation(static_cast<unsigned char>(text[at]))) ++at;
    return at;
}

std::size_t previousCharacter(const std::string& text, std::size_t at) {
    if (at == 0) return 0;
    --at;
    while (at > 0 && isContinuation(static_cast<unsigned char>(text[at]))) --at;
    return at;
}

// How many bytes at the start of `bytes` form one character, and whether they are well
// formed (no overlong forms, surrogates, or anything above U+10FFFF). A broken sequence
// counts as far as it went right, so that it is replaced by one U+FFFD, not one per byte.
struct Sequence {
    std::size_t length;
    bool valid;
};
Sequence sequenceAt(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {1, true};
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {1, false};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const bool fits = i < bytes.size() &&
                          (i == 1 ? byte(i) >= low && byte(i) <= high : isContinuation(byte(i)));
        if (!fits) return {i, false};
    }
    return {length, true};
}

// What may go into a field: well-formed UTF-8 (anything else becomes U+FFFD), line breaks
// as "\n" where lines are allowed and as spaces where not, tabs as spaces, no other
// control characters.
std::string cleanText(std::string_view input, bool multiline) {
    std::string out;
    out.reserve(input.size());
    for (std::size_t i = 0; i < input.size();) {
        const char c = input[i];
        if (c == '\r' || c == '\n') {
            i += c == '\r' && i + 1 < input.size() && input[i + 1] == '\n' ? 2 : 1;
            out += multiline ? '\n' : ' ';
            continue;
        }
        const auto [length, valid] = sequenceAt(input.substr(i));
        if (!valid) {
            out += "\xEF\xBF\xBD";
            i += length;
            continue;
        }
        if (c == '\t') {
            out += ' ';
        } else if (length > 1 || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)) {
            out.append(input.substr(i, length));
        }
        i += length;
    }
    return out;
}

// Character widths as drawn at the screen's scale, where cairo rounds each advance to
// whole pixels: a caret placed by a sum of them lands where the drawn text ends.
float characterWidth(std::string_view character, float fontSize) {
    struct Measure {
        explicit Measure(float scale)
            : surface({1, 1}, scale, graphics::Surface::Content::Transparent), context(surface) {}
        graphics::Surface surface;
        graphics::DrawingContext context;
        std::unordered_map<std::string, float> widths;
    };
    static std::map<std::pair<float, float>, std::unique_ptr<Measure>> measures;
    auto& measure = measures[{screenScale(), fontSize}];
    if (!measure) measure = std::make_unique<Measure>(screenScale());
    const std::string key(character);
    auto found = measure->widths.find(key);
    if (found == measure->widths.end())
        found =
            measure->widths.emplace(key, measure->context.textWidth(key, {fontSize, false})).first;
    return found->second;
}

}  // namespace

TextField::TextField(Rect frame, Lines lines) : View(frame), lines_(lines) {
    setClipsToBounds(true);
}

void TextField::setText(std::string text) {
    text_ = cleanText(text, isMultiline());
    caret_ = text_.size();
    layoutValid_ = false;
    goalX_.reset();
    scroll_ = {};
    setNeedsDisplay();
}

void TextField::setFontSize(float size) {
    if (size == fontSize_) return;
    fontSize_ = size;
    layoutValid_ = false;
    setNeedsDisplay();
}

void TextField::setTextColor(Color color) {
    if (color == textColor_) return;
    textColor_ = color;
    setNeedsDisplay();
}

void TextField::setEditable(bool editable) {
    if (editable == editable_) return;
    editable_ = editable;
    if (!editable) resignFirstResponder();
    setNeedsDisplay();
}

void TextField::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    setNeedsDisplay();
}

bool TextField::becomeFirstResponder() {
    Window* shown = window();
    if (!shown || !acceptsTextInput()) return false;
    shown->setFirstResponder(std::weak_ptr<View>(shared_from_this()));
    scrollToCaret();
    return true;
}

void TextField::resignFirstResponder() {
    if (isFirstResponder()) window()->setFirstResponder({});
}

bool TextField::isFirstResponder() const {
    const Window* shown = window();
    return shown && shown->firstResponder().get() == static_cast<const Responder*>(this);
}

// --- layout

float TextField::lineHeight() const {
    return std::ceil(fontSize_ * kLineSpacing);
}

float TextField::visibleTextWidth() const {
    return std::max(1.0f, frame().width() - 2 * kMarginX);
}

float TextField::lineTop(std::size_t line) const {
    if (!isMultiline()) return (frame().height() - lineHeight()) * 0.5f;
    return kMarginY + static_cast<float>(line) * lineHeight();
}

float TextField::widthOf(std::size_t from, std::size_t to) const {
    float width = 0;
    for (std::size_t at = from; at < to;) {
        const std::size_t next = nextCharacter(text_, at);
        width += characterWidth(std::string_view(text_).substr(at, next - at), fontSize_);
        at = next;
    }
    return width;
}

// Greedy wrapping: a line breaks after its last space that fits, or inside a word
// that is wider than the whole line. Spaces at a break stay at the line's end.
const std::vector<TextField::Line>& TextField::lines() const {
    if (layoutValid_ && layoutWidth_ == frame().width()) return layout_;
    layout_.clear();
    layoutValid_ = true;
    layoutWidth_ = frame().width();
    if (!isMultiline()) {
        layout_.push_back({0, text_.size()});
        return layout_;
    }
    const float width = visibleTextWidth();
    for (std::size_t paragraph = 0;;) {
        const std::size_t newline = text_.find('\n', paragraph);
        const std::size_t end = newline == std::string::npos ? text_.size() : newline;
        std::size_t start = paragraph, afterSpace = std::string::npos;
        float x = 0;
        for (std::size_t at = paragraph; at < end;) {
            const std::size_t next = nextCharacter(text_, at);
            const float w =
                characterWidth(std::string_view(text_).substr(at, next - at), fontSize_);
            if (text_[at] != ' ' && x + w > width && at > start) {
                const bool atSpace = afterSpace != std::string::npos && afterSpace > start;
                const std::size_t breakAt = atSpace ? afterSpace : at;
                layout_.push_back({start, breakAt});
                start = at = breakAt;
                x = 0;
                afterSpace = std::string::npos;
                continue;
            }
            if (text_[at] == ' ') afterSpace = next;
            x += w;
            at = next;
        }
        layout_.push_back({start, end});
        if (newline == std::string::npos) break;
        paragraph = newline + 1;
    }
    return layout_;
}

std::size_t TextField::lineOfCaret() const {
    const auto& all = lines();
    std::size_t line = 0;
    while (line + 1 < all.size() && all[line + 1].start <= caret_) ++line;
    return line;
}

// At a wrapped line's end the caret would show at the start of the next line.
std::size_t TextField::lastCaretOffset(std::size_t line) const {
    const auto& all = lines();
    const Line& l = all[line];
    const bool wrapped = line + 1 < all.size() && all[line + 1].start == l.end;
    return wrapped ? previousCharacter(text_, l.end) : l.end;
}

std::size_t TextField::offsetNear(std::size_t line, float x) const {
    std::size_t at = lines()[line].start;
    const std::size_t last = lastCaretOffset(line);
    for (float left = 0; at < last;) {
        const std::size_t next = nextCharacter(text_, at);
        const float w = widthOf(at, next);
        if (left + w * 0.5f > x) break;
        left += w;
        at = next;
    }
    return at;
}

std::size_t TextField::offsetAt(Point point) const {
    std::size_t line = 0;
    if (isMultiline()) {
        const float row = std::floor((point.y + scroll_.y - kMarginY) / lineHeight());
        line =
            static_cast<std::size_t>(std::clamp(row, 0.0f, static_cast<float>(lines().size() - 1)));
    }
    return offsetNear(line, point.x + scroll_.x - kMarginX);
}

float TextField::contentHeight() const {
    if (!isMultiline()) return lineHeight();
    return 2 * kMarginY + static_cast<float>(lines().size()) * lineHeight();
}

Rect TextField::caretRect() const {
    const std::size_t line = lineOfCaret();
    const float x = kMarginX + widthOf(lines()[line].start, caret_) - scroll_.x;
    return {x - 1, lineTop(line) - scroll_.y, 2, lineHeight()};
}

void TextField::clampScroll() {
    const Point before = scroll_;
    if (isMultiline()) {
        scroll_.y = std::clamp(scroll_.y, 0.0f, std::max(0.0f, contentHeight() - frame().height()));
    } else {
        const float overflow = widthOf(0, text_.size()) - visibleTextWidth();
        scroll_.x = std::clamp(scroll_.x, 0.0f, std::max(0.0f, overflow));
    }
    if (scroll_ != before) setNeedsDisplay();
}

void TextField::scrollToCaret() {
    if (isMultiline()) {
        const float top = lineTop(lineOfCaret());
        if (top - kMarginY < scroll_.y) scroll_.y = top - kMarginY;
        if (top + lineHeight() + kMarginY > scroll_.y + frame().height())
            scroll_.y = top + lineHeight() + kMarginY - frame().height();
    } else {
        const float x = widthOf(0, caret_);
        if (x - scroll_.x > visibleTextWidth()) scroll_.x = x - visibleTextWidth();
        if (x < scroll_.x) scroll_.x = x;
    }
    clampScroll();
    setNeedsDisplay();
}

// --- editing

void TextField::replace(std::size_t from, std::size_t to, std::string_view replacement) {
    text_.replace(from, to - from, replacement);
    caret_ = from + replacement.size();
    layoutValid_ = false;
    goalX_.reset();
    scrollToCaret();
    if (editingChanged_) editingChanged_();
}

void TextField::moveCaret(std::size_t offset, bool keepGoal) {
    if (!keepGoal) goalX_.reset();
    caret_ = offset;
    scrollToCaret();
}

// Past the first or last line, the caret goes to the start or end of the text.
void TextField::moveVertically(int by) {
    const std::size_t line = lineOfCaret();
    if (!goalX_) goalX_ = widthOf(lines()[line].start, caret_);
    const auto last = static_cast<long>(lines().size()) - 1;
    const long target = static_cast<long>(line) + by;
    if (target < 0) return moveCaret(0, true);
    if (target > last) return moveCaret(text_.size(), true);
    moveCaret(offsetNear(static_cast<std::size_t>(target), *goalX_), true);
}

bool TextField::editingKey(const KeyPress& key) {
    const int page = std::max(1, static_cast<int>(frame().height() / lineHeight()) - 1);
    switch (key.key) {
        case Key::Left:
            moveCaret(previousCharacter(text_, caret_));
            return true;
        case Key::Right:
            moveCaret(nextCharacter(text_, caret_));
            return true;
        case Key::Home:
            moveCaret(lines()[lineOfCaret()].start);
            return true;
        case Key::End:
            moveCaret(lastCaretOffset(lineOfCaret()));
            return true;
        case Key::Up:
        case Key::Down:
            if (!isMultiline()) return false;
            moveVertically(key.key == Key::Up ? -1 : 1);
            return true;
        case Key::PageUp:
        case Key::PageDown:
            if (!isMultiline()) return false;
            moveVertically(key.key == Key::PageUp ? -page : page);
            return true;
        case Key::Backspace:
            if (caret_ > 0) replace(previousCharacter(text_, caret_), caret_, {});
            return true;
        case Key::Delete:
            if (caret_ < text_.size()) replace(caret_, nextCharacter(text_, caret_), {});
            return true;
        case Key::Return:
            if (!isMultiline()) return false;
            replace(caret_, caret_, "\n");
            return true;
        case Key::Paste:
            insertText(clipboardText());
            return true;
        // Keys that type: their text comes as text input, and they mean nothing else here.
        case Key::Space:
        case Key::Plus:
        case Key::Minus:
            return true;
        default:
            return false;
    }
}

bool TextField::keyDown(const KeyPress& key) {
    if (acceptsTextInput() && editingKey(key)) return true;
    return Responder::keyDown(key);
}

bool TextField::insertText(std::string_view utf8) {
    if (!acceptsTextInput()) return Responder::insertText(utf8);
    const std::string clean = cleanText(utf8, isMultiline());
    if (!clean.empty()) replace(caret_, caret_, clean);
    return true;
}

bool TextField::scrollWheel(const WheelEvent& wheel) {
    const float before = scroll_.y;
    if (isMultiline()) {
        scroll_.y -= wheel.dy * kWheelLines * lineHeight();
        clampScroll();
    }
    return scroll_.y != before || Responder::scrollWheel(wheel);
}

// --- touches

void TextField::touchesBegan(const Touches& touches) {
    if (!acceptsTextInput() || touches.empty()) return Responder::touchesBegan(touches);
    touchPoint_ = touches.front().locationInView(this);
    touchTravel_ = 0;
}

void TextField::touchesMoved(const Touches& touches) {
    if (!touchPoint_ || touches.empty()) return Responder::touchesMoved(touches);
    const Point point = touches.front().locationInView(this);
    touchTravel_ += std::hypot(point.x - touchPoint_->x, point.y - touchPoint_->y);
    if (isMultiline() && touchTravel_ >= kTapTravel) {
        scroll_.y -= point.y - touchPoint_->y;
        clampScroll();
    }
    touchPoint_ = point;
}

void TextField::touchesEnded(const Touches& touches) {
    if (!touchPoint_) return Responder::touchesEnded(touches);
    touchPoint_.reset();
    if (touchTravel_ >= kTapTravel || touches.empty() || !becomeFirstResponder()) return;
    moveCaret(offsetAt(touches.front().locationInView(this)));
}

void TextField::touchesCancelled(const Touches& touches) {
    if (!touchPoint_) return Responder::touchesCancelled(touches);
    touchPoint_.reset();
}

}  // namespace platform::ui
