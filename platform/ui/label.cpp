#include "platform/ui/label.h"

namespace platform::ui {

Label::Label(foundation::Rect frame) : View(frame) {
    setUserInteractionEnabled(false);
}

void Label::setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    setNeedsDisplay();
}

void Label::setFontSize(float size) {
    fontSize_ = size;
    setNeedsDisplay();
}

void Label::setBold(bool bold) {
    bold_ = bold;
    setNeedsDisplay();
}

void Label::setTextColor(Color color) {
    textColor_ = color;
    setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

}  // namespace platform::ui
