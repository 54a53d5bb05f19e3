#include "capture/orvex_view_controller.h"
#include "imaging/image_by_scaling_and_cropping.h"
#include "imaging/process_capture.h"
#include "imaging/scale_and_rotate_image.h"
#include "platform/foundation/log.h"
#include "platform/graphics/memory_budget.h"
#include "platform/media/services.h"

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
// album; the zoom goes back to 1× for the next shot. The pixel work runs on the shot queue
// so that the screen (and its spinner) never waits for it.
void OrvexViewController::cropImage(const platform::graphics::ImagePtr& taken) {
    const float zoom = value;
    const auto preset = static_cast<imaging::ResolutionPreset>(state);
    std::weak_ptr<OrvexViewController> weak = weakSelf();
    shotQueue().async<platform::graphics::ImagePtr>(
        [taken, zoom, preset]() -> platform::graphics::ImagePtr {
            if (!taken) return nullptr;
            // Out of memory, a shot is lost with a line that says why, never the application.
            try {
                const platform::graphics::PixelBuffer& pixels = taken->pixels();
                if (auto error = platform::graphics::memoryBudgetError(
                        pixels.width(), pixels.height(),
                        imaging::memoryForCapture(*taken, zoom, preset))) {
                    platform::foundation::logError("could not process the picture: %@", *error);
                    return nullptr;
                }
                return imaging::processCapture(*taken, zoom, preset);
            } catch (const std::exception& e) {
                platform::foundation::logError("a photo is lost: could not process the picture: %@",
                                               e.what());
                return nullptr;
            }
        },
        [weak](platform::graphics::ImagePtr picture) {
            platform::media::Services::current().album().save(
                picture, [weak, picture](const std::optional<std::string>& error) {
                    if (auto self = weak.lock())
                        self->imageDidFinishSavingWithError(picture, error);
                });
        });
    zoomReset();
}

platform::foundation::WorkQueue& OrvexViewController::shotQueue() {
    if (!shotQueue_) shotQueue_ = std::make_unique<platform::foundation::WorkQueue>();
    return *shotQueue_;
}

}  // namespace capture
