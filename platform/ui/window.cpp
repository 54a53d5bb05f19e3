#include "platform/ui/window.h"

namespace platform::ui {

namespace {
Window* gKeyWindow = nullptr;
}

Window::Window(foundation::Rect frame) : View(frame) {}

Window::~Window() {
    if (gKeyWindow == this) gKeyWindow = nullptr;
}

Window* Window::keyWindow() {
    return gKeyWindow;
}

void Window::makeKeyAndVisible() {
    gKeyWindow = this;
    visible_ = true;
    setNeedsDisplay();
}

Touches Window::touchesAt(foundation::Point point, const std::shared_ptr<View>& view) const {
    return {Touch{point, view}};
}

void Window::touchDown(foundation::Point point) {
    auto view = hitTest(point);
    touched_ = view;
    if (view) view->touchesBegan(touchesAt(point, view));
}

void Window::touchMoved(foundation::Point point) {
    if (auto view = touched_.lock()) view->touchesMoved(touchesAt(point, view));
}

void Window::touchUp(foundation::Point point) {
    auto view = touched_.lock();
    touched_.reset();
    if (view) view->touchesEnded(touchesAt(point, view));
}

void Window::tap(foundation::Point point) {
    touchDown(point);
    touchUp(point);
}

}  // namespace platform::ui
