#include "capture/orvex_view_controller.h"
#include "imaging/image_by_scaling_and_cropping.h"
#include "imaging/process_capture.h"
#include "imaging/scale_and_rotate_image.h"
#include "platform/media/shared_album.h"

namespace capture {

platform::graphics::ImagePtr OrvexViewController::scaleAndRotateImage(
    const platform::graphics::ImagePtr& image) {
    return image ? imaging::scaleAndRotateImage(*image) : nullptr;
}

platform::graphics::ImagePtr OrvexViewController::imageByScalingAndCroppingForSize(
    platform::foundation::Size targetSize, const platform::graphics::ImagePtr& image) {
    return imaging::imageByScalingAndCroppingForSize(targetSize, image);
}

// Upright, cut to the zoomed region or kept whole, sized for the preset, then into the
// album; the zoom goes back to 1× for the next shot.
void OrvexViewController::cropImage(const platform::graphics::ImagePtr& taken) {
    const float zoom = value;
    const auto preset = static_cast<imaging::ResolutionPreset>(state);
    auto picture = taken ? imaging::processCapture(*taken, zoom, preset) : nullptr;
    std::weak_ptr<OrvexViewController> weak = weakSelf();
    platform::media::sharedAlbum().save(picture,
                                        [weak, picture](const std::optional<std::string>& error) {
                                            if (auto self = weak.lock())
                                                self->imageDidFinishSavingWithError(picture, error);
                                        });
    zoomReset();
}

}  // namespace capture
