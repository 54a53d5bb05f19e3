#include <string_view>

#include "platform/graphics/drawing_context.h"
#include "platform/ui/drawing/look.h"
#include "platform/ui/text_field.h"

namespace platform::ui {

// Only the lines in view are drawn. The caret is placed by measuring with this very
// context, so that it meets the drawn text at any scale.
void TextField::draw(graphics::DrawingContext& context) const {
    const graphics::Font font{fontSize_, false};
    const Color color = enabled_ ? textColor_ : textColor_.withAlpha(textColor_.alpha * 0.45f);
    const bool showsCaret = acceptsTextInput() && isFirstResponder();
    const float height = lineHeight();
    const float left = kMarginX - scroll_.x;
    const auto& all = lines();
    const std::size_t caretLine = lineOfCaret();
    const std::string_view text(text_);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const float top = lineTop(i) - scroll_.y;
        if (top + height < 0 || top > frame().height()) continue;
        const auto shown = text.substr(all[i].start, all[i].end - all[i].start);
        const float width = context.textWidth(shown, font);
        context.drawText(shown, {left, top, width + 1, height}, font, color,
                         graphics::TextAlign::Left);
        if (!showsCaret || i != caretLine) continue;
        const auto before = text.substr(all[i].start, caret_ - all[i].start);
        const float x = left + context.textWidth(before, font);
        context.fillRect({x - 1, top + 1, 2, height - 2}, look::kAccent);
    }
}

}  // namespace platform::ui
