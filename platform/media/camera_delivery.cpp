#include "platform/media/camera_delivery.h"

#include <utility>

#include "platform/foundation/log.h"

namespace platform::media {

CameraDelivery::CameraDelivery(foundation::RunLoop& loop, std::string description,
                               NewestPicture newestPicture)
    : loop_(loop),
      description_(std::move(description)),
      newestPicture_(std::move(newestPicture)),
      detail_(description_) {}

void CameraDelivery::start(CameraSource::PreviewHandler onPreview,
                           CameraSource::StateHandler onState) {
    onPreview_ = std::move(onPreview);
    onState_ = std::move(onState);
    ++handlersGeneration_;
    // A restarted camera is loading again until its next frame.
    if (!running_ && state_ == CameraState::Ready) state_ = CameraState::Loading;
    running_ = true;
    changeState(state_, detail_);
}

void CameraDelivery::stop() {
    running_ = false;
    onPreview_ = nullptr;
    onState_ = nullptr;
    ++handlersGeneration_;
    answerWaitingRequests();
}

void CameraDelivery::takePicture(CameraSource::PictureHandler done) {
    if (auto picture = newestPicture_()) return answerLater(std::move(done), std::move(picture));
    if (!running_ || hasFailed()) return answerLater(std::move(done), nullptr);
    if (waiting_.empty()) waitingMark_ = loop_.beginBackgroundWork();
    waiting_.push_back(std::move(done));
}

void CameraDelivery::showPreview(graphics::ImagePtr preview) {
    notifyLater([preview = std::move(preview)](CameraDelivery& self) {
        if (self.onPreview_) self.onPreview_(preview);
    });
}

void CameraDelivery::frameArrived() {
    if (state_ == CameraState::Loading) changeState(CameraState::Ready, description_);
    answerWaitingRequests();
}

void CameraDelivery::fail(CameraState state, const std::string& cause) {
    if (hasFailed()) return;
    foundation::log(state == CameraState::NoCamera ? "No camera: %@" : "Camera failed: %@", cause);
    changeState(state, cause);
    answerWaitingRequests();
}

void CameraDelivery::changeState(CameraState state, std::string detail) {
    state_ = state;
    detail_ = std::move(detail);
    notifyLater([state, detail = detail_](CameraDelivery& self) {
        if (self.onState_) self.onState_(state, detail);
    });
}

void CameraDelivery::notifyLater(std::function<void(CameraDelivery&)> call) {
    loop_.post([weak = weak_from_this(), generation = handlersGeneration_, call = std::move(call)] {
        auto self = weak.lock();
        if (self && self->handlersGeneration_ == generation) call(*self);
    });
}

void CameraDelivery::answerWaitingRequests() {
    if (waiting_.empty()) return;
    const auto picture = newestPicture_();
    for (auto& done : std::exchange(waiting_, {})) answerLater(std::move(done), picture);
    waitingMark_.end();
}

void CameraDelivery::answerLater(CameraSource::PictureHandler done, graphics::ImagePtr picture) {
    loop_.post([weak = weak_from_this(), done = std::move(done), picture = std::move(picture)] {
        if (weak.lock()) done(picture);
    });
}

}  // namespace platform::media
