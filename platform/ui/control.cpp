#include "platform/ui/control.h"

namespace platform::ui {

void Control::addTarget(std::weak_ptr<const void> target, Invoker invoker, unsigned events) {
    targets_.push_back({std::move(target), std::move(invoker), events});
}

void Control::sendActionsForControlEvents(unsigned events) {
    // Copy: an action may add targets to this control.
    const auto targets = targets_;
    for (const auto& t : targets)
        if ((t.events & events) != 0 && !t.target.expired()) t.invoker(this);
}

bool Control::touchIsInside(const Touch& touch) const {
    return bounds().contains(touch.locationInView(this));
}

void Control::setHighlighted(bool highlighted) {
    if (highlighted == highlighted_) return;
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void Control::touchesBegan(const Touches& touches) {
    setHighlighted(true);
    if (!touches.empty()) trackTouch(touches.front().locationInView(this));
    sendActionsForControlEvents(ControlEventTouchDown);
}

void Control::touchesMoved(const Touches& touches) {
    if (touches.empty()) return;
    setHighlighted(touchIsInside(touches.front()));
    trackTouch(touches.front().locationInView(this));
}

void Control::touchesEnded(const Touches& touches) {
    const bool inside = !touches.empty() && touchIsInside(touches.front());
    setHighlighted(false);
    if (inside) sendActionsForControlEvents(ControlEventTouchUpInside);
}

void Control::touchesCancelled(const Touches&) {
    setHighlighted(false);
}

}  // namespace platform::ui
