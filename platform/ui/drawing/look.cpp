#include "platform/ui/drawing/look.h"

#include <algorithm>

namespace platform::ui::look {

void drawBar(graphics::DrawingContext& context, foundation::Rect rect, Edge contentEdge) {
    context.fillGradient(rect, kBarTop, kBarBottom);
    const float y = contentEdge == Edge::Top ? rect.y() : rect.maxY() - 1.0f;
    context.fillRect({rect.x(), y, rect.width(), 1.0f}, kHairline);
}

foundation::Rect centredFit(foundation::Size natural, foundation::Rect rect) {
    if (natural.width <= 0 || natural.height <= 0) return {};
    const float fit =
        std::min({1.0f, rect.width() / natural.width, rect.height() / natural.height});
    const float w = natural.width * fit;
    const float h = natural.height * fit;
    return {rect.x() + (rect.width() - w) * 0.5f, rect.y() + (rect.height() - h) * 0.5f, w, h};
}

}  // namespace platform::ui::look
