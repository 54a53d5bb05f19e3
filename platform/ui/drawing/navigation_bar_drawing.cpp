#include "platform/graphics/drawing_context.h"
#include "platform/ui/drawing/look.h"
#include "platform/ui/navigation_bar.h"

namespace platform::ui {

namespace {
constexpr graphics::Color kItemPlate{1.0f, 1.0f, 1.0f, 0.16f};

void drawItem(graphics::DrawingContext& context, const BarButtonItem* item, foundation::Rect slot) {
    if (!item) return;
    const foundation::Rect plate{slot.x() + 6, slot.y() + 7, slot.width() - 12, slot.height() - 14};
    context.fillRoundedRect(plate, 5.0f, kItemPlate);
    context.drawText(item->title(), plate, look::kBarItemTitle, look::kText,
                     graphics::TextAlign::Center);
}
}  // namespace

void NavigationBar::draw(graphics::DrawingContext& context) const {
    const foundation::Rect b = bounds();
    look::drawBar(context, b, look::Edge::Bottom);
    auto top = topItem();
    if (!top) return;
    const float side = leftItemRect().width();
    context.drawText(top->title(), {side, 0, b.width() - 2 * side, b.height()}, look::kBarTitle,
                     look::kText, graphics::TextAlign::Center);
    drawItem(context, top->leftBarButtonItem().get(), leftItemRect());
    drawItem(context, top->rightBarButtonItem().get(), rightItemRect());
}

}  // namespace platform::ui
