#pragma once

#include <string>

#include "platform/media/camera_delivery.h"
#include "platform/media/camera_source.h"

namespace platform::media {

// A camera for tests: the test hands it frames and failures, and it answers exactly as a
// real camera does (handlers and pictures on later turns of the loop, a first-frame wait
// that holds the loop's background-work mark).
class ScriptedCameraSource final : public CameraSource {
  public:
    explicit ScriptedCameraSource(foundation::RunLoop& loop,
                                  std::string description = "scripted camera", bool flash = true);

    // As if the camera had captured `picture`: it becomes the newest frame, is sent to the
    // live view as the preview (or `preview` if given) and, the first time, makes the
    // camera ready. Ignored while stopped, after a failure or before start.
    void deliverFrame(graphics::ImagePtr picture, graphics::ImagePtr preview = nullptr);
    // As if the camera had failed (Failed) or found no device (NoCamera).
    void fail(CameraState state, const std::string& cause);

    int takePictureCalls() const { return takePictureCalls_; }
    bool isRunning() const { return delivery_->isRunning(); }

    void start(PreviewHandler onPreview, StateHandler onState) override;
    void stop() override;
    void takePicture(PictureHandler done) override;
    bool hasFlash() const override { return flash_; }
    CameraState state() const override { return delivery_->state(); }
    std::string description() const override { return delivery_->description(); }

  private:
    graphics::ImagePtr newest_;
    bool flash_;
    int takePictureCalls_ = 0;
    std::shared_ptr<CameraDelivery> delivery_;
};

}  // namespace platform::media
