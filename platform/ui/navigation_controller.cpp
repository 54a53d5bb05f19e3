#include "platform/ui/navigation_controller.h"

namespace platform::ui {

NavigationController::NavigationController()
    : navigationBar_(std::make_shared<NavigationBar>(foundation::Rect{0, 0, 320, 44})) {}

void NavigationController::loadView() {
    auto root = std::make_shared<View>(kScreenFrame);
    root->addSubview(navigationBar_);
    setView(root);
}

void NavigationController::pushViewController(std::shared_ptr<ViewController> controller,
                                              bool animated) {
    if (!controller) return;
    stack_.push_back(controller);
    controller->setNavigationController(this);
    auto shown = controller->view();
    auto root = view();
    shown->setFrame(kScreenFrame);
    root->addSubview(shown);
    root->addSubview(navigationBar_);
    auto items = navigationBar_->items();
    items.push_back(std::shared_ptr<NavigationItem>(controller, &controller->navigationItem()));
    navigationBar_->setItems(std::move(items));
    controller->viewDidAppear(animated);
}

std::shared_ptr<ViewController> NavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.empty()) return nullptr;
    auto controller = std::move(stack_.back());
    stack_.pop_back();
    auto items = navigationBar_->items();
    if (!items.empty()) items.pop_back();
    navigationBar_->setItems(std::move(items));
    if (controller->isViewLoaded()) controller->view()->removeFromSuperview();
    controller->setNavigationController(nullptr);
    controller->viewDidDisappear(animated);
    return controller;
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

}  // namespace platform::ui
