#include "platform/ui/activity_indicator.h"

#include "platform/foundation/run_loop.h"

namespace platform::ui {

ActivityIndicator::ActivityIndicator(foundation::Rect frame) : View(frame) {
    setUserInteractionEnabled(false);
}

void ActivityIndicator::setActivityIndicatorViewStyle(Style style) {
    style_ = style;
    setNeedsDisplay();
}

void ActivityIndicator::startAnimating() {
    if (animating_) return;
    animating_ = true;
    animationStart_ = foundation::RunLoop::main().now();
    setNeedsDisplay();
}

void ActivityIndicator::stopAnimating() {
    if (!animating_) return;
    animating_ = false;
    setNeedsDisplay();
}

}  // namespace platform::ui
