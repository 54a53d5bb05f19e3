#include "platform/ui/notice_label.h"

namespace platform::ui {

NoticeLabel::NoticeLabel(foundation::Rect frame) : View(frame) {
    setUserInteractionEnabled(false);
}

void NoticeLabel::setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    setNeedsDisplay();
}

}  // namespace platform::ui
