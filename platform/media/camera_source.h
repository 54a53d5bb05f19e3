#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/run_loop.h"
#include "platform/graphics/image.h"

namespace platform::media {

// Loading until the first frame arrives; NoCamera when the named device does not exist;
// Failed when the camera could not start, stopped delivering or sent nothing for a while.
enum class CameraState { Loading, Ready, NoCamera, Failed };

// How long, in real seconds, a camera is waited for: a camera works in real time, also
// when the loop's clock is virtual.
struct CameraPatience {
    // A picture asked for before the first frame waits this long at most, then gets nullptr.
    double pictureWait = 3.0;
    // A running camera that sends no frame for this long has failed; 0: never.
    double silence = 5.0;
};

struct CameraOptions {
    // auto | test | /dev/videoN | pipeline:DESCRIPTION (a gst-launch description whose
    // last element, or closing caps, delivers video; conversion and the sinks follow it).
    std::string device = "auto";
    // Overrides the tag the camera gives its frames (test camera: Right; webcam: Up).
    std::optional<graphics::ImageOrientation> orientation = {};
    CameraPatience patience = {};
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
    // Stops delivering; handlers are no longer called. The newest frame is let go: pictures
    // requested before the first frame, and any requested later, are answered with nullptr.
    virtual void stop() = 0;

    // Calls `done` once, on a later turn of the main loop, with the full-resolution picture
    // of the newest frame already received (scale 1, tagged with the camera's orientation).
    // Before the first frame it waits for it, holding the loop's background-work mark so a
    // virtual clock waits too, but a few seconds of real time at most, then answers nullptr.
    // A camera that has failed, has no device or is stopped answers nullptr at once: it
    // never hands out a frame from before it went away.
    virtual void takePicture(PictureHandler done) = 0;

    // Test camera: true; a webcam: only if its device offers a flash or torch control.
    virtual bool hasFlash() const = 0;
    virtual CameraState state() const = 0;
    // Why the camera gives no pictures while it is Failed or NoCamera; empty otherwise.
    virtual std::string failure() const = 0;
    // The device in use, for the log and the screen ("test camera", "/dev/video0 (...)").
    virtual std::string description() const = 0;
    // Whether opening the camera again may help once it has failed: not when the options
    // themselves cannot work (an unknown camera name, a pipeline that does not parse).
    virtual bool canRecover() const { return true; }

    // The camera the options name. Never null: a camera that cannot be opened reports
    // Failed or NoCamera with the cause, and unless the options cannot work it is opened
    // again, after a pause that grows from 1 s to 30 s, until it delivers again.
    static std::unique_ptr<CameraSource> open(const CameraOptions& options,
                                              foundation::RunLoop& mainLoop);
};

}  // namespace platform::media
