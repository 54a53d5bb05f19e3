#include "platform/foundation/log.h"
#include "platform/ui/navigation_controller.h"
#include "preview/preview.h"

namespace preview {

namespace {
constexpr platform::foundation::Rect kIndicatorFrame{145, 225, 30, 30};
constexpr double kPollInterval = 0.2;
}  // namespace

void Preview::setNavigationBarInteraction(bool enabled) {
    if (auto* stack = navigationController())
        stack->navigationBar()->setUserInteractionEnabled(enabled);
}

// Turns until the poll finds a picture shown.
void Preview::addActivityIndicator() {
    setNavigationBarInteraction(false);
    if (!activityIndicator)
        activityIndicator = std::make_shared<platform::ui::ActivityIndicator>(kIndicatorFrame);
    activityIndicator->setActivityIndicatorViewStyle(platform::ui::ActivityIndicator::Style::White);
    view()->addSubview(activityIndicator);
    activityIndicator->startAnimating();
    // Only the newest poll is kept; an earlier one would poll on with no way to stop it.
    if (timer) timer->invalidate();
    std::weak_ptr<Preview> weak = std::static_pointer_cast<Preview>(shared_from_this());
    timer = platform::foundation::RunLoop::main().scheduleTimer(
        kPollInterval, true, [weak](platform::foundation::Timer&) {
            if (auto self = weak.lock()) self->check();
        });
}

void Preview::removeActivityIndicator() {
    setNavigationBarInteraction(true);
    if (activityIndicator) {
        activityIndicator->stopAnimating();
        activityIndicator->removeFromSuperview();
        activityIndicator = nullptr;
    }
    if (timer) {
        timer->invalidate();
        timer = nullptr;
    }
}

void Preview::check() {
    if (imageView && imageView->image()) {
        removeActivityIndicator();
        platform::foundation::logDebug("done");
    } else {
        platform::foundation::logDebug("check");
    }
}

}  // namespace preview
