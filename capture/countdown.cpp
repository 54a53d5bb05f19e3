#include <cstdlib>

#include "capture/capture_mode.h"
#include "capture/orvex_view_controller.h"
#include "platform/foundation/log.h"

namespace capture {

using platform::foundation::logDebug;

namespace {
constexpr float kTabBarStrip = 425.0f;

constexpr std::int32_t kTimerLengths[] = {3, 5, 10, 15, 30};
constexpr std::int32_t kLoopLengths[] = {15, 30, 60, 300, 900};

std::string twoDigits(int n) {
    std::string text = platform::foundation::detail::format("%i", n);
    if (text.size() == 1) text = platform::foundation::detail::format("0%@", text);
    return text;
}
}  // namespace

std::string OrvexViewController::countdownText(std::int32_t seconds) {
    const std::div_t parts = std::div(seconds, 60);
    return platform::foundation::detail::format("%@:%@", twoDigits(parts.quot),
                                                twoDigits(parts.rem));
}

void OrvexViewController::setCountdownLength(bool loopSet) {
    if (aTimer < 1 || aTimer > 5) return;
    const std::int32_t length = (loopSet ? kLoopLengths : kTimerLengths)[aTimer - 1];
    nTimer = length;
    loop = length;
}

void OrvexViewController::takeCountdownDisplayOff() {
    if (timeRemain) timeRemain->removeFromSuperview();
    if (imageView) imageView->removeFromSuperview();
}

void OrvexViewController::putCountdownDisplayOn() {
    if (imageView) main->addSubview(imageView);
    if (timeRemain) main->addSubview(timeRemain);
}

void OrvexViewController::touchesBegan(const platform::ui::Touches& touches) {
    const int mode = selectedTag();
    if (mode != Library && !touches.empty()) {
        const float y = touches.front().locationInView(view().get()).y;
        if (sidebarIsOpen()) this->mode();
        tabBar->setUserInteractionEnabled(false);
        if (selectedTag() == Timer) setCountdownLength(false);
        if (y >= kTabBarStrip) {
            // On the tab bar strip: nothing more.
        } else if (timer) {
            timer->invalidate();
            timer = nullptr;
            takeCountdownDisplayOff();
            tabBar->setUserInteractionEnabled(true);
        } else if (selectedTag() == QuickShot || selectedTag() == Zoom) {
            if (s != 0) {
                logDebug("TOUCH!");
                getPhoto();
            }
        } else {
            if (selectedTag() == TimerLoop) setCountdownLength(true);
            if (timeRemain) timeRemain->setText(countdownText(nTimer));
            std::weak_ptr<OrvexViewController> weak = weakSelf();
            timer = platform::foundation::RunLoop::main().scheduleTimer(
                1.0, true, [weak](platform::foundation::Timer&) {
                    if (auto self = weak.lock()) self->time();
                });
            putCountdownDisplayOn();
        }
    }
    logDebug("%i loop", loop);
}

void OrvexViewController::time() {
    logDebug("%i loop", loop);
    --nTimer;
    if (nTimer >= 1 && nTimer <= 3) beep->play();
    if (timeRemain) timeRemain->setText(countdownText(nTimer));
    if (nTimer != 0) return;
    getPhoto();
    nTimer = loop;
    if (selectedTag() == Timer) {
        tabBar->setUserInteractionEnabled(true);
        if (timer) timer->invalidate();
        timer = nullptr;
        takeCountdownDisplayOff();
    }
}

}  // namespace capture
