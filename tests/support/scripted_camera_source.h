#pragma once

#include <string>

#include "platform/media/camera_delivery.h"
#include "platform/media/camera_source.h"

namespace platform::media {

// A camera for tests and benchmarks: the caller hands it frames and failures, and it
// answers exactly as a real camera does (handlers and pictures on later turns of the loop,
// a first-frame wait that holds the loop's background-work mark for at most
// `patience.pictureWait` real seconds). It watches for silence only if asked to: a test
// drives it at its own pace.
//
// A camera that goes away and comes back, on a virtual clock:
//     camera->fail(CameraState::Failed, "unplugged");  // pictures now answer nullptr
//     ... 10 minutes later ...
//     camera->reconnect();                             // loading again
//     camera->deliverFrame(picture);                   // ready again
class ScriptedCameraSource final : public CameraSource {
  public:
    explicit ScriptedCameraSource(foundation::RunLoop& loop,
                                  std::string description = "scripted camera", bool flash = true,
                                  CameraPatience patience = {.pictureWait = 3.0, .silence = 0.0});

    // As if the camera had captured `picture`: it becomes the newest frame, is sent to the
    // live view as the preview (or `preview` if given) and, the first time, makes the
    // camera ready. Ignored while stopped, after a failure or before start.
    void deliverFrame(graphics::ImagePtr picture, graphics::ImagePtr preview = nullptr);
    // As if the camera had failed (Failed) or found no device (NoCamera); its newest frame
    // is gone.
    void fail(CameraState state, const std::string& cause);
    // As if a failed camera were there again: loading until the next deliverFrame.
    void reconnect();

    int takePictureCalls() const { return takePictureCalls_; }
    bool isRunning() const { return delivery_->isRunning(); }

    void start(PreviewHandler onPreview, StateHandler onState) override;
    void stop() override;
    void takePicture(PictureHandler done) override;
    bool hasFlash() const override { return flash_; }
    CameraState state() const override { return delivery_->state(); }
    std::string failure() const override;
    std::string description() const override { return delivery_->description(); }

  private:
    graphics::ImagePtr newest_;
    bool flash_;
    int takePictureCalls_ = 0;
    std::shared_ptr<CameraDelivery> delivery_;
};

}  // namespace platform::media
