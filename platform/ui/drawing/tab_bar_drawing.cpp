#include <algorithm>
#include <string>

#include "platform/graphics/drawing_context.h"
#include "platform/ui/drawing/look.h"
#include "platform/ui/tab_bar.h"

namespace platform::ui {

namespace {
constexpr float kIconSide = 30.0f;
constexpr float kIconTop = 6.0f;
constexpr float kTitleHeight = 12.0f;
constexpr float kTitleBottomMargin = 5.0f;
constexpr float kTitleSideMargin = 2.0f;
constexpr float kSmallestTitle = 7.0f;
constexpr graphics::Color kSelectedPlate{1.0f, 1.0f, 1.0f, 0.08f};
// A bar that takes no touches (during a shot or a countdown) shows its items faded.
constexpr float kDisabledOpacity = 0.35f;

graphics::Color faded(graphics::Color color, float opacity) {
    return color.withAlpha(color.alpha * opacity);
}

// The tab title's font, made smaller where a long title (a translation) would run into its
// neighbours.
graphics::Font titleFont(graphics::DrawingContext& context, const std::string& title,
                         float slotWidth) {
    const float room = slotWidth - 2 * kTitleSideMargin;
    const float width = context.textWidth(title, look::kTabTitle);
    if (width <= room) return look::kTabTitle;
    return {std::max(kSmallestTitle, look::kTabTitle.size * room / width), look::kTabTitle.bold};
}

void drawItem(graphics::DrawingContext& context, const TabBarItem& item, foundation::Rect slot,
              bool selected, float opacity) {
    const graphics::Color tint = faded(selected ? look::kAccent : look::kInactive, opacity);
    if (selected)
        context.fillRoundedRect({slot.x() + 3, slot.y() + 3, slot.width() - 6, slot.height() - 6},
                                6.0f, faded(kSelectedPlate, opacity));
    if (item.image()) {
        const foundation::Rect iconBox{slot.x(), slot.y() + kIconTop, slot.width(), kIconSide};
        context.drawTemplate(*item.image(), look::centredFit(item.image()->size(), iconBox), tint);
    }
    const foundation::Rect titleBox{slot.x(), slot.maxY() - kTitleBottomMargin - kTitleHeight,
                                    slot.width(), kTitleHeight};
    context.drawText(item.title(), titleBox, titleFont(context, item.title(), slot.width()), tint,
                     graphics::TextAlign::Center);
}
}  // namespace

// A dark bar; each item's picture is a template tinted with the accent when selected.
void TabBar::draw(graphics::DrawingContext& context) const {
    look::drawBar(context, bounds(), look::Edge::Top);
    const float opacity = isUserInteractionEnabled() ? 1.0f : kDisabledOpacity;
    for (std::size_t i = 0; i < items_.size(); ++i)
        drawItem(context, *items_[i], itemRect(i), items_[i] == selectedItem_, opacity);
}

}  // namespace platform::ui
