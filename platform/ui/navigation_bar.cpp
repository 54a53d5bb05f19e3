#include "platform/ui/navigation_bar.h"

namespace platform::ui {

namespace {
constexpr float kItemWidth = 80.0f;
}

NavigationBar::NavigationBar(foundation::Rect frame) : View(frame) {}

void NavigationBar::setItems(std::vector<std::shared_ptr<NavigationItem>> items) {
    items_ = std::move(items);
    setNeedsDisplay();
}

std::shared_ptr<NavigationItem> NavigationBar::topItem() const {
    return items_.empty() ? nullptr : items_.back();
}

bool NavigationBar::popItem() {
    auto top = topItem();
    if (!top) return false;
    if (auto delegate = delegate_.lock();
        delegate && !delegate->navigationBarShouldPopItem(*this, *top))
        return false;
    items_.pop_back();
    setNeedsDisplay();
    return true;
}

foundation::Rect NavigationBar::leftItemRect() const {
    return {0, 0, kItemWidth, frame().height()};
}

foundation::Rect NavigationBar::rightItemRect() const {
    return {frame().width() - kItemWidth, 0, kItemWidth, frame().height()};
}

void NavigationBar::touchesEnded(const Touches& touches) {
    auto top = topItem();
    if (touches.empty() || !top) return;
    const auto point = touches.front().locationInView(this);
    if (auto left = top->leftBarButtonItem(); left && leftItemRect().contains(point)) left->press();
    if (auto right = top->rightBarButtonItem(); right && rightItemRect().contains(point))
        right->press();
}

}  // namespace platform::ui
