#include "platform/display/keyboard_touches.h"

#include <algorithm>

#include "platform/media/live_picture_view.h"
#include "platform/ui/tab_bar.h"

namespace platform::display {

namespace {

// The shown view of type V drawn last, that is, on top.
template <class V>
const V* topmostShown(const ui::View& view) {
    if (view.isHidden()) return nullptr;
    const auto& subviews = view.subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it)
        if (const V* found = topmostShown<V>(**it)) return found;
    return dynamic_cast<const V*>(&view);
}

foundation::Rect rectInWindow(const ui::View& view) {
    const auto origin = view.originInWindow();
    return {origin.x, origin.y, view.frame().width(), view.frame().height()};
}

}  // namespace

std::optional<foundation::Point> livePictureTouchPoint(const ui::Window& window) {
    const auto* live = topmostShown<media::LivePictureView>(window);
    if (!live) return std::nullopt;
    foundation::Rect area = rectInWindow(*live);
    if (const auto* bar = topmostShown<ui::TabBar>(window)) {
        const float barTop = rectInWindow(*bar).y();
        if (barTop > area.y() && barTop < area.maxY()) area.size.height = barTop - area.y();
    }
    return area.center();
}

std::optional<foundation::Point> tabItemTouchPoint(const ui::Window& window, std::size_t index) {
    const auto* bar = topmostShown<ui::TabBar>(window);
    if (!bar || index >= bar->items().size()) return std::nullopt;
    const auto origin = bar->originInWindow();
    const auto centre = bar->itemRect(index).center();
    return foundation::Point{origin.x + centre.x, origin.y + centre.y};
}

}  // namespace platform::display
