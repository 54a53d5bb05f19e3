#include "platform/ui/view_controller.h"

#include "platform/ui/window.h"

namespace platform::ui {

namespace {
constexpr double kPresentationDuration = 0.3;
}  // namespace

ViewController::~ViewController() {
    if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
}

std::shared_ptr<View> ViewController::view() {
    // The first access loads the view (unless an interface resource gave it one) and
    // then runs viewDidLoad.
    if (!viewDidLoad_) {
        viewDidLoad_ = true;
        if (!view_) loadView();
        if (!view_) setView(std::make_shared<View>(kScreenFrame));
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
    if (view == view_) return;
    // A screen that is showing keeps showing: the new view takes the old one's place.
    if (view_ && view && !view->superview())
        if (auto parent = view_->superview()) parent->replaceSubview(view_, view);
    if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
    view_ = std::move(view);
    if (view_) view_->setViewController(this);
}

void ViewController::loadView() {
    setView(std::make_shared<View>(kScreenFrame));
}

void ViewController::presentModalViewController(std::shared_ptr<ViewController> controller,
                                                bool animated) {
    if (!controller || modal_) return;
    modal_ = controller;
    controller->presenting_ = weak_from_this();
    auto shown = controller->view();
    if (Window* window = Window::keyWindow()) {
        if (animated) {
            shown->setFrame(
                {0, kScreenFrame.height(), kScreenFrame.width(), kScreenFrame.height()});
            View::beginAnimations();
            View::setAnimationDuration(kPresentationDuration);
            shown->setFrame(kScreenFrame);
            View::commitAnimations();
        } else {
            shown->setFrame(kScreenFrame);
        }
        window->addSubview(shown);
    }
    controller->viewDidAppear(animated);
}

void ViewController::dismissModalViewControllerAnimated(bool animated) {
    if (modal_) {
        dismissPresented(animated);
    } else if (auto presenter = presenting_.lock()) {
        presenter->dismissPresented(animated);
    }
}

void ViewController::dismissPresented(bool animated) {
    auto controller = std::move(modal_);
    modal_.reset();
    if (!controller) return;
    if (controller->modal_) controller->dismissPresented(animated);
    controller->presenting_.reset();
    if (controller->view_) controller->view_->removeFromSuperview();
    controller->viewDidDisappear(animated);
}

}  // namespace platform::ui
