#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/image.h"
#include "platform/ui/view.h"

namespace platform::ui {

class TabBarItem {
  public:
    TabBarItem(std::string title, graphics::ImagePtr image, int tag)
        : title_(std::move(title)), image_(std::move(image)), tag_(tag) {}
    const std::string& title() const { return title_; }
    const graphics::ImagePtr& image() const { return image_; }
    int tag() const { return tag_; }

  private:
    std::string title_;
    graphics::ImagePtr image_;
    int tag_;
};

class TabBar;

class TabBarDelegate {
  public:
    virtual ~TabBarDelegate() = default;
    virtual void tabBarDidSelectItem(TabBar& tabBar, TabBarItem& item) = 0;
};

// A bar of items side by side. A user's selection tells the delegate; a selection made
// from code does not.
class TabBar : public View {
  public:
    explicit TabBar(foundation::Rect frame = {});

    const std::vector<std::shared_ptr<TabBarItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<TabBarItem>> items);
    std::shared_ptr<TabBarItem> selectedItem() const { return selectedItem_; }
    void setSelectedItem(std::shared_ptr<TabBarItem> item);
    void setDelegate(std::weak_ptr<TabBarDelegate> delegate) { delegate_ = std::move(delegate); }

    // The item's slot: the bar's width shared equally among the items.
    foundation::Rect itemRect(std::size_t index) const;
    // What a finger lifting over the item at `index` does.
    void selectByUser(std::size_t index);

    void draw(graphics::DrawingContext& context) const override;

    void touchesBegan(const Touches& touches) override;
    void touchesEnded(const Touches& touches) override;

  private:
    std::vector<std::shared_ptr<TabBarItem>> items_;
    std::shared_ptr<TabBarItem> selectedItem_;
    std::weak_ptr<TabBarDelegate> delegate_;
    std::ptrdiff_t pressedIndex_ = -1;
    std::ptrdiff_t indexAt(foundation::Point point) const;
};

}  // namespace platform::ui
