#include "capture/orvex_view_controller.h"

namespace capture {

void OrvexViewController::pickFromLibrary(platform::media::CameraPickerService&,
                                          const platform::media::MediaInfo&) {}

void OrvexViewController::push() {
    pickerP->pushViewController(preview, true);
}

void OrvexViewController::sendImage() {}

}  // namespace capture
