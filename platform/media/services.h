#pragma once

#include <filesystem>
#include <memory>

#include "platform/foundation/clock.h"
#include "platform/media/camera_source.h"
#include "platform/media/photo_album.h"

namespace platform::media {

// What a run of the process is set up with. Empty members take the defaults: the system
// clock, the camera `camera` names (opened when first needed), the user's album folders.
struct ServiceSettings {
    std::shared_ptr<foundation::Clock> clock = {};
    CameraOptions camera = {};
    // A camera of the caller's making in place of the one the options name (a scripted
    // camera in tests and benchmarks), used as it is: to have it opened again after
    // failures, hand over a ReconnectingCameraSource.
    std::shared_ptr<CameraSource> cameraSource = {};
    std::filesystem::path album = {};
    std::filesystem::path albumFallback = {};
};

// The services the whole process shares (the camera and its options, the photo album and the
// main run loop's clock), owned in this one place. The application makes one from its
// command line; a test makes a fresh one in one line. While it lives, the picker and the
// album answer from it and the main loop keeps its clock; its end tears them down in the one
// safe order: the camera first (its threads post to the main loop), then the album (its
// saves under way finish on the loop), then whatever the loop still holds is dropped and
// the system clock comes back. One lives at a time, besides the defaults.
class Services {
  public:
    explicit Services(ServiceSettings settings = {});
    ~Services();
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;

    // The services in force: the newest that lives, or a default set made on first use.
    static Services& current();

    const CameraOptions& cameraOptions() const { return cameraOptions_; }
    // The camera, opened from the options when first asked for; null if none can be.
    const std::shared_ptr<CameraSource>& camera();
    // The camera if one is open; never opens one.
    const std::shared_ptr<CameraSource>& openCamera() const { return camera_; }
    void closeCamera() { camera_ = nullptr; }
    PhotoAlbum& album() { return *album_; }

  private:
    Services* previous_;
    CameraOptions cameraOptions_;
    std::shared_ptr<CameraSource> camera_;
    std::unique_ptr<PhotoAlbum> album_;
};

}  // namespace platform::media
