#include "tests/support/scripted_camera_source.h"

namespace platform::media {

ScriptedCameraSource::ScriptedCameraSource(foundation::RunLoop& loop, std::string description,
                                           bool flash, CameraPatience patience)
    : flash_(flash),
      delivery_(std::make_shared<CameraDelivery>(
          loop, std::move(description), [this] { return newest_; }, patience)) {}

void ScriptedCameraSource::deliverFrame(graphics::ImagePtr picture, graphics::ImagePtr preview) {
    if (!delivery_->isRunning() || delivery_->hasFailed()) return;
    newest_ = std::move(picture);
    delivery_->showPreview(preview ? std::move(preview) : newest_);
    delivery_->frameArrived();
}

void ScriptedCameraSource::fail(CameraState state, const std::string& cause) {
    newest_.reset();
    delivery_->fail(state, cause);
}

void ScriptedCameraSource::reconnect() {
    delivery_->reopen();
}

void ScriptedCameraSource::start(PreviewHandler onPreview, StateHandler onState) {
    delivery_->start(std::move(onPreview), std::move(onState));
}

void ScriptedCameraSource::stop() {
    newest_.reset();
    delivery_->stop();
}

void ScriptedCameraSource::takePicture(PictureHandler done) {
    ++takePictureCalls_;
    delivery_->takePicture(std::move(done));
}

std::string ScriptedCameraSource::failure() const {
    return delivery_->hasFailed() ? delivery_->detail() : std::string();
}

}  // namespace platform::media
