#include "platform/graphics/drawing_context.h"
#include "platform/ui/label.h"

namespace platform::ui {

namespace {
graphics::TextAlign textAlign(TextAlignment alignment) {
    switch (alignment) {
        case TextAlignment::Center:
            return graphics::TextAlign::Center;
        case TextAlignment::Right:
            return graphics::TextAlign::Right;
        default:
            return graphics::TextAlign::Left;
    }
}
}  // namespace

void Label::draw(graphics::DrawingContext& context) const {
    context.drawText(text_, bounds(), {fontSize_, bold_}, textColor_, textAlign(alignment_));
}

}  // namespace platform::ui
