#include <array>

#include "capture/capture_mode.h"
#include "capture/orvex_view_controller.h"
#include "platform/foundation/log.h"
#include "platform/ui/image_named.h"

namespace capture {

using platform::foundation::logDebug;
using platform::ui::imageNamed;

namespace {
constexpr float kSlide = 117.0f;
constexpr double kSlideDuration = 0.5;

// Countdown pictures by button tag: the Timer set and the TimerLoop set.
constexpr std::array<const char*, 5> kTimerSet{"3s", "5s", "10s", "15s", "30s"};
constexpr std::array<const char*, 5> kLoopSet{"15s", "30s", "1m", "5m", "15m"};

std::string pictureName(const char* stem, bool chosen) {
    return std::string(stem) + (chosen ? "_.png" : ".png");
}

void setChosenPicture(platform::ui::Control* sender, const char* stem) {
    if (auto* button = dynamic_cast<platform::ui::Button*>(sender))
        button->setBackgroundImage(imageNamed(pictureName(stem, true)));
}
}  // namespace

void OrvexViewController::slideSidebarGroup(float dx) {
    for (const auto& member : std::initializer_list<std::shared_ptr<platform::ui::View>>{
             sidebar, www, side, camera3Mpx, camera5Mpx, camera7Mpx, timer1, timer2, timer3, timer4,
             timer5, countdownHint}) {
        const auto c = member->center();
        member->setCenter({c.x + dx, c.y});
    }
}

void OrvexViewController::mode() {
    if (selectedTag() == Zoom) return;
    slide->play();
    platform::ui::View::beginAnimations();
    platform::ui::View::setAnimationDuration(kSlideDuration);
    const bool closed = side->center().x < kSidebarOpenTest;
    if (closed && !timer) {
        slideSidebarGroup(kSlide);
        side->setImage(imageNamed("b_close.png"));
    } else if (!closed) {
        slideSidebarGroup(-kSlide);
        side->setImage(imageNamed("b_open.png"));
    }
    // Closed while a countdown runs: the sidebar stays where it is. Sliding it further
    // left would leave it at neither of its two positions.
    platform::ui::View::commitAnimations();
}

void OrvexViewController::setTimerPictures(bool loopSet, int chosenTag) {
    const auto& set = loopSet ? kLoopSet : kTimerSet;
    const std::array buttons{timer1, timer2, timer3, timer4, timer5};
    for (std::size_t i = 0; i < buttons.size(); ++i)
        buttons[i]->setBackgroundImage(
            imageNamed(pictureName(set[i], static_cast<int>(i) + 1 == chosenTag)));
}

void OrvexViewController::showCountdownLengths(bool shown) {
    for (const auto& timer : {timer1, timer2, timer3, timer4, timer5}) timer->setHidden(!shown);
    countdownHint->setHidden(shown);
}

void OrvexViewController::setTimer(platform::ui::Control* sender) {
    player->play();
    const int tag = sender->tag();
    const int mode = selectedTag();
    if (mode == Timer || mode == QuickShot) {
        setTimerPictures(false, 0);
        if (tag >= 1 && tag <= 5) setChosenPicture(sender, kTimerSet[tag - 1]);
    }
    if (mode == TimerLoop) {
        setTimerPictures(true, 0);
        if (tag >= 1 && tag <= 5) setChosenPicture(sender, kLoopSet[tag - 1]);
    }
    aTimer = tag;
}

void OrvexViewController::choosePreset(std::int32_t preset) {
    player->play();
    state = preset;
    zoomReset();
    showPresetPictures();
    static constexpr const char* kLines[] = {"", "3 MPX", "5 MPX", "7 MPX"};
    logDebug(kLines[preset]);
}

// The preset buttons show the preset in force, whoever set it: a mode sets it too.
void OrvexViewController::showPresetPictures() {
    camera3Mpx->setBackgroundImage(imageNamed(state == 1 ? "std_.png" : "std.png"));
    camera5Mpx->setBackgroundImage(imageNamed(state == 2 ? "5_.png" : "5.png"));
    camera7Mpx->setBackgroundImage(imageNamed(state == 3 ? "8_.png" : "8.png"));
}

void OrvexViewController::camera3() {
    choosePreset(1);
}
void OrvexViewController::camera5() {
    choosePreset(2);
}
void OrvexViewController::camera7() {
    choosePreset(3);
}

void OrvexViewController::flash(platform::ui::Control* sender) {
    if (!platform::media::CameraPickerService::isFlashAvailableForCameraDevice(0)) return;
    auto* button = dynamic_cast<platform::ui::Button*>(sender);
    if (!button) return;
    switch (picker->cameraFlashMode()) {
        case 0:
            picker->setCameraFlashMode(1);
            button->setImage(nullptr);
            button->setTitle("ON");
            break;
        case 1:
            picker->setCameraFlashMode(-1);
            button->setImage(nullptr);
            button->setTitle("OFF");
            break;
        case -1:
            picker->setCameraFlashMode(0);
            button->setImage(imageNamed("flash.png"));
            button->setTitle(std::nullopt);
            break;
        default:
            break;
    }
}

}  // namespace capture
