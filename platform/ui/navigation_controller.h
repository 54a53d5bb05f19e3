#pragma once

#include <memory>
#include <vector>

#include "platform/ui/navigation_bar.h"
#include "platform/ui/view_controller.h"

namespace platform::ui {

// A stack of screens under a navigation bar; pushing shows the new top screen.
class NavigationController : public ViewController {
  public:
    NavigationController();

    const std::shared_ptr<NavigationBar>& navigationBar() const { return navigationBar_; }
    bool isNavigationBarHidden() const { return navigationBar_->isHidden(); }
    void setNavigationBarHidden(bool hidden) { navigationBar_->setHidden(hidden); }
    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
    void pushViewController(std::shared_ptr<ViewController> controller, bool animated);
    // Takes the top screen off the stack; the one beneath shows again.
    std::shared_ptr<ViewController> popViewControllerAnimated(bool animated);
    std::shared_ptr<ViewController> topViewController() const;

    void loadView() override;

  private:
    std::shared_ptr<NavigationBar> navigationBar_;
    std::vector<std::shared_ptr<ViewController>> stack_;
};

}  // namespace platform::ui
