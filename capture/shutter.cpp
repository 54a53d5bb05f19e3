#include "capture/capture_mode.h"
#include "capture/orvex_view_controller.h"
#include "platform/foundation/log.h"

namespace capture {

using platform::foundation::logDebug;

namespace {
constexpr double kBackToReady = 1.0;
constexpr platform::foundation::Rect kSpinnerFrame{145, 225, 30, 30};
}  // namespace

void OrvexViewController::scheduleGetPhoto(double delay) {
    std::weak_ptr<OrvexViewController> weak = weakSelf();
    platform::foundation::RunLoop::main().scheduleTimer(delay, false,
                                                        [weak](platform::foundation::Timer&) {
                                                            if (auto self = weak.lock())
                                                                self->getPhoto();
                                                        });
}

// One step of the shutter cycle: the ready flag alone decides between taking a picture
// and returning to ready.
void OrvexViewController::getPhoto() {
    logDebug("%i", static_cast<int>(s));
    if (s != 0) {
        tabBar->setUserInteractionEnabled(false);
        addActivityIndicator();
        s = static_cast<std::int8_t>(!s);
        picker->takePicture();
    } else {
        tabBar->setUserInteractionEnabled(true);
        s = static_cast<std::int8_t>(!s);
        setView(picker->view());
        view()->addSubview(main);
        removeActivityIndicator();
    }
}

void OrvexViewController::addActivityIndicator() {
    activityIndicator = std::make_shared<platform::ui::ActivityIndicator>(kSpinnerFrame);
    activityIndicator->setActivityIndicatorViewStyle(platform::ui::ActivityIndicator::Style::White);
    view()->addSubview(activityIndicator);
    activityIndicator->startAnimating();
    takeCountdownDisplayOff();
}

void OrvexViewController::removeActivityIndicator() {
    if (activityIndicator) {
        activityIndicator->stopAnimating();
        activityIndicator->removeFromSuperview();
        activityIndicator = nullptr;
    }
    if (timer) putCountdownDisplayOn();
}

void OrvexViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    platform::media::CameraPickerService& from, const platform::media::MediaInfo& info) {
    // A shot is the camera's answer to takePicture and is always saved, also when a running
    // time-lapse fires while the user is in the album; only the album's picks are shown.
    if (selectedTag() == Library && &from != picker.get()) {
        pickFromLibrary(from, info);
        return;
    }
    const auto found = info.find(platform::media::kOriginalImageKey);
    cropImage(found == info.end() ? nullptr : found->second);
}

void OrvexViewController::imageDidFinishSavingWithError(const platform::graphics::ImagePtr&,
                                                        const std::optional<std::string>&) {
    ++savesReported_;
    scheduleGetPhoto(kBackToReady);
    logDebug("Should save");
}

}  // namespace capture
