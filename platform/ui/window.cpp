#include "platform/ui/window.h"

namespace platform::ui {

namespace {
Window* gKeyWindow = nullptr;

// The shown view that accepts keys drawn last, that is, on top.
std::shared_ptr<View> topmostKeyView(View& view) {
    if (view.isHidden()) return nullptr;
    const auto& subviews = view.subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it)
        if (auto found = topmostKeyView(**it)) return found;
    return view.acceptsKeys() ? view.shared_from_this() : nullptr;
}
}  // namespace

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
    touchDown_ = true;
    if (view) view->touchesBegan(touchesAt(point, view));
}

void Window::touchMoved(foundation::Point point) {
    if (auto view = touched_.lock()) view->touchesMoved(touchesAt(point, view));
}

void Window::touchUp(foundation::Point point) {
    auto view = touched_.lock();
    touched_.reset();
    touchDown_ = false;
    if (view) view->touchesEnded(touchesAt(point, view));
}

void Window::touchCancelled(foundation::Point point) {
    auto view = touched_.lock();
    touched_.reset();
    touchDown_ = false;
    if (view) view->touchesCancelled(touchesAt(point, view));
}

void Window::tap(foundation::Point point) {
    touchDown(point);
    touchUp(point);
}

template <class Deliver>
bool Window::dispatch(std::shared_ptr<Responder> target, Deliver deliver) {
    if (dispatching_ || !target || target.get() == this) return false;
    dispatching_ = true;
    const bool handled = deliver(*target);
    dispatching_ = false;
    return handled;
}

bool Window::keyDown(const KeyPress& key) {
    std::shared_ptr<Responder> target = firstResponder();
    if (!target) target = topmostKeyView(*this);
    return dispatch(std::move(target), [&](Responder& r) { return r.keyDown(key); });
}

bool Window::insertText(std::string_view utf8) {
    return dispatch(firstResponder(), [&](Responder& r) { return r.insertText(utf8); });
}

void Window::setFirstResponder(std::weak_ptr<Responder> responder) {
    firstResponder_ = std::move(responder);
    setNeedsDisplay();  // the caret moves to another field
}

std::shared_ptr<Responder> Window::firstResponder() const {
    auto responder = firstResponder_.lock();
    if (auto* view = dynamic_cast<View*>(responder.get()); view && !view->isDescendantOf(*this))
        return nullptr;
    return responder;
}

bool Window::isEditingText() const {
    auto responder = firstResponder();
    return responder && responder->acceptsTextInput();
}

bool Window::scrollWheel(const WheelEvent& wheel) {
    return dispatch(hitTest(wheel.locationInWindow),
                    [&](Responder& r) { return r.scrollWheel(wheel); });
}

bool Window::magnify(foundation::Point locationInWindow, float factor) {
    return dispatch(hitTest(locationInWindow),
                    [&](Responder& r) { return r.magnify(locationInWindow, factor); });
}

}  // namespace platform::ui
