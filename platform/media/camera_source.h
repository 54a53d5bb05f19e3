#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/run_loop.h"
#include "platform/graphics/image.h"

namespace platform::media {

// Loading until the first frame arrives; NoCamera when the named device does not exist;
// Failed when the camera could not start or stopped delivering.
enum class CameraState { Loading, Ready, NoCamera, Failed };

struct CameraOptions {
    // auto | test | /dev/videoN | pipeline:DESCRIPTION (a gst-launch description whose
    // last element, or closing caps, delivers video; conversion and the sinks follow it).
    std::string device = "auto";
    // Overrides the tag the camera gives its frames (test camera: Right; webcam: Up).
    std::optional<graphics::ImageOrientation> orientation;
};

// A source of camera frames: a live preview for the screen and, on request, the full
// picture of the newest frame. Every handler runs on the main run loop's thread, and
// none runs once the source is destroyed.
class CameraSource {
  public:
    using PreviewHandler = std::function<void(graphics::ImagePtr preview)>;
    using StateHandler = std::function<void(CameraState state, const std::string& detail)>;
    using PictureHandler = std::function<void(graphics::ImagePtr picture)>;

    virtual ~CameraSource() = default;

    // Starts delivering. `onPreview` gets every frame, at most about 640 pixels on its
    // long side, tagged like the pictures; `onState` gets the current state at once and
    // every later change, with the device used or the cause of a failure.
    virtual void start(PreviewHandler onPreview, StateHandler onState) = 0;
    // Stops delivering; handlers are no longer called. Pictures already requested are
    // answered from the newest frame held, or with nullptr.
    virtual void stop() = 0;

    // Calls `done` once, on a later turn of the main loop, with the full-resolution picture
    // of the newest frame already received (scale 1, tagged with the camera's orientation).
    // Before the first frame it waits for it, holding the loop's background-work mark so a
    // virtual clock waits too; a camera that has failed, has no device or is stopped
    // answers nullptr at once instead.
    virtual void takePicture(PictureHandler done) = 0;

    // Test camera: true; a webcam: only if its device offers a flash or torch control.
    virtual bool hasFlash() const = 0;
    virtual CameraState state() const = 0;
    // The device in use, for the log and the screen ("test camera", "/dev/video0 (...)").
    virtual std::string description() const = 0;

    // The camera the options name. Never null: a camera that cannot be opened reports
    // Failed or NoCamera with the cause.
    static std::unique_ptr<CameraSource> open(const CameraOptions& options,
                                              foundation::RunLoop& mainLoop);
};

}  // namespace platform::media
