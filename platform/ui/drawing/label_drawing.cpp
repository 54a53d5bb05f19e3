#include <string_view>
#include <vector>

#include "platform/graphics/drawing_context.h"
#include "platform/ui/label.h"

namespace platform::ui {

namespace {
constexpr float kLineSpacing = 1.3f;

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

// Lines break at '\n'; the block of lines is centred vertically in the label.
void Label::draw(graphics::DrawingContext& context) const {
    std::vector<std::string_view> lines;
    for (std::size_t at = 0;;) {
        const std::size_t end = text_.find('\n', at);
        lines.push_back(std::string_view(text_).substr(at, end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    const foundation::Rect b = bounds();
    const float lineHeight = fontSize_ * kLineSpacing;
    float top = b.y() + (b.height() - lineHeight * static_cast<float>(lines.size())) / 2;
    for (const auto line : lines) {
        context.drawText(line, {b.x(), top, b.width(), lineHeight}, {fontSize_, bold_}, textColor_,
                         textAlign(alignment_));
        top += lineHeight;
    }
}

}  // namespace platform::ui
