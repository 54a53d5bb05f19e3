#include "capture/orvex_view_controller.h"

namespace capture {

namespace {
constexpr double kHandOver = 0.01;
}

// A picture picked in the album: shown by the preview screen that the library picker
// presents, and handed over on a later turn of the loop. Turning it upright is the first
// step of the preview's picture work, which runs off the main thread: a 12-megapixel photo
// turned here would hold the screen still while the busy indicator should be turning.
void OrvexViewController::pickFromLibrary(platform::media::CameraPickerService&,
                                          const platform::media::MediaInfo& info) {
    preview->addActivityIndicator();
    preview->addImage(nullptr);
    _image = nullptr;
    const auto found = info.find(platform::media::kOriginalImageKey);
    if (found != info.end()) _image = found->second;
    // The preview starts on the picture now; the hand-over finds the work under way.
    if (_image) preview->getReadyFor(_image);
    std::weak_ptr<OrvexViewController> weak = weakSelf();
    platform::foundation::RunLoop::main().scheduleTimer(kHandOver, false,
                                                        [weak](platform::foundation::Timer&) {
                                                            if (auto self = weak.lock())
                                                                self->sendImage();
                                                        });
    pickerP->presentModalViewController(preview, true);
}

void OrvexViewController::sendImage() {
    preview->addImage(_image);
    _image = nullptr;
}

void OrvexViewController::push() {
    pickerP->pushViewController(preview, true);
}

}  // namespace capture
