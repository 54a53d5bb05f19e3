#include "capture/orvex_view_controller.h"

namespace capture {

// The zoom lives in the camera picker's preview transform: the transform is only ever
// scaled by the factor taken off or put on, never replaced.
void OrvexViewController::sliderAction(platform::ui::Control*) {
    auto t = picker->cameraViewTransform();
    const float inverse = 1.0f / value;
    picker->setCameraViewTransform(t.scaled(inverse, inverse));
    t = picker->cameraViewTransform();
    const float v = bSlider->value();
    picker->setCameraViewTransform(t.scaled(v, v));
    value = v;
}

void OrvexViewController::zoomReset() {
    const auto t = picker->cameraViewTransform();
    const float inverse = 1.0f / value;
    picker->setCameraViewTransform(t.scaled(inverse, inverse));
    bSlider->setValue(1.0f);
    value = 1.0f;
}

}  // namespace capture
