#include "platform/ui/tab_bar.h"

namespace platform::ui {

TabBar::TabBar(foundation::Rect frame) : View(frame) {}

void TabBar::setItems(std::vector<std::shared_ptr<TabBarItem>> items) {
    items_ = std::move(items);
    setNeedsDisplay();
}

void TabBar::setSelectedItem(std::shared_ptr<TabBarItem> item) {
    if (item == selectedItem_) return;
    selectedItem_ = std::move(item);
    setNeedsDisplay();
}

foundation::Rect TabBar::itemRect(std::size_t index) const {
    if (items_.empty()) return {};
    const float width = frame().width() / static_cast<float>(items_.size());
    return {width * static_cast<float>(index), 0, width, frame().height()};
}

std::ptrdiff_t TabBar::indexAt(foundation::Point point) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (itemRect(i).contains(point)) return static_cast<std::ptrdiff_t>(i);
    return -1;
}

void TabBar::selectByUser(std::size_t index) {
    if (index >= items_.size()) return;
    auto item = items_[index];
    setSelectedItem(item);
    if (auto delegate = delegate_.lock()) delegate->tabBarDidSelectItem(*this, *item);
}

void TabBar::touchesBegan(const Touches& touches) {
    pressedIndex_ = touches.empty() ? -1 : indexAt(touches.front().locationInView(this));
}

void TabBar::touchesEnded(const Touches& touches) {
    if (touches.empty() || pressedIndex_ < 0) return;
    const auto index = indexAt(touches.front().locationInView(this));
    if (index == pressedIndex_) selectByUser(static_cast<std::size_t>(index));
    pressedIndex_ = -1;
}

}  // namespace platform::ui
