#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/view.h"

namespace platform::ui {

// A titled button of a navigation bar; its action is an invoker like a control's.
class BarButtonItem {
  public:
    explicit BarButtonItem(std::string title = {}) : title_(std::move(title)) {}
    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    void setAction(std::function<void()> action) { action_ = std::move(action); }
    void press() const {
        if (action_) action_();
    }

  private:
    std::string title_;
    std::function<void()> action_;
};

class NavigationItem {
  public:
    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    std::shared_ptr<BarButtonItem> leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item) { left_ = std::move(item); }
    std::shared_ptr<BarButtonItem> rightBarButtonItem() const { return right_; }
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item) { right_ = std::move(item); }

  private:
    std::string title_;
    std::shared_ptr<BarButtonItem> left_;
    std::shared_ptr<BarButtonItem> right_;
};

class NavigationBar;

class NavigationBarDelegate {
  public:
    virtual ~NavigationBarDelegate() = default;
    virtual bool navigationBarShouldPopItem(NavigationBar& bar, NavigationItem& item) = 0;
};

// A bar at the top of a screen showing the top item's title and bar button items; a
// touch on an item's slot presses it.
class NavigationBar : public View {
  public:
    explicit NavigationBar(foundation::Rect frame = {});

    const std::vector<std::shared_ptr<NavigationItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<NavigationItem>> items);
    std::shared_ptr<NavigationItem> topItem() const;
    void setDelegate(std::weak_ptr<NavigationBarDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    // Pops the top item unless the delegate refuses; true if popped.
    bool popItem();

    // The slots of the left and right bar button items.
    foundation::Rect leftItemRect() const;
    foundation::Rect rightItemRect() const;

    void draw(graphics::DrawingContext& context) const override;
    void touchesEnded(const Touches& touches) override;
    void touchesBegan(const Touches&) override {}

  private:
    std::vector<std::shared_ptr<NavigationItem>> items_;
    std::weak_ptr<NavigationBarDelegate> delegate_;
};

}  // namespace platform::ui
