#include "platform/media/camera_delivery.h"

#include <utility>

#include "platform/foundation/log.h"

namespace platform::media {

CameraDelivery::CameraDelivery(foundation::RunLoop& loop, std::string description,
                               NewestPicture newestPicture, CameraPatience patience)
    : loop_(loop),
      description_(std::move(description)),
      newestPicture_(std::move(newestPicture)),
      patience_(patience),
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
    watchForSilence();
}

void CameraDelivery::stop() {
    running_ = false;
    onPreview_ = nullptr;
    onState_ = nullptr;
    ++handlersGeneration_;
    silenceWatch_.cancel();
    answerWaitingRequests(nullptr);
}

void CameraDelivery::takePicture(CameraSource::PictureHandler done) {
    if (running_ && state_ == CameraState::Ready)
        return answerLater(std::move(done), newestPicture_());
    if (!running_ || hasFailed()) return answerLater(std::move(done), nullptr);
    if (waiting_.empty()) {
        waitingMark_ = loop_.beginBackgroundWork();
        waitingLimit_ = RealTimeAlarm(loop_, patience_.pictureWait, [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->giveUpWaiting();
        });
    }
    waiting_.push_back(std::move(done));
}

void CameraDelivery::showPreview(graphics::ImagePtr preview) {
    // A frame that was on its way when the camera failed is not shown after the failure.
    if (hasFailed()) return;
    ++signsOfLife_;
    notifyLater([preview = std::move(preview)](CameraDelivery& self) {
        if (self.onPreview_) self.onPreview_(preview);
    });
}

void CameraDelivery::frameArrived() {
    ++signsOfLife_;
    if (state_ == CameraState::Loading) changeState(CameraState::Ready, description_);
    if (state_ == CameraState::Ready) answerWaitingRequests(newestPicture_());
}

void CameraDelivery::fail(CameraState state, const std::string& cause) {
    if (hasFailed()) return;
    foundation::logWarning(state == CameraState::NoCamera ? "No camera: %@" : "Camera failed: %@",
                           cause);
    silenceWatch_.cancel();
    changeState(state, cause);
    answerWaitingRequests(nullptr);
}

void CameraDelivery::reopen() {
    if (!hasFailed()) return;
    changeState(CameraState::Loading, description_);
    watchForSilence();
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

void CameraDelivery::answerWaitingRequests(graphics::ImagePtr picture) {
    waitingLimit_.cancel();
    for (auto& done : std::exchange(waiting_, {})) answerLater(std::move(done), picture);
    // After the answers are posted: a virtual clock then finds them before it moves on.
    waitingMark_.end();
}

void CameraDelivery::answerLater(CameraSource::PictureHandler done, graphics::ImagePtr picture) {
    loop_.post([weak = weak_from_this(), done = std::move(done), picture = std::move(picture)] {
        if (weak.lock()) done(picture);
    });
}

void CameraDelivery::giveUpWaiting() {
    if (waiting_.empty()) return;
    foundation::logWarning("Camera: no frame from %@ within %g seconds; no picture taken",
                           description_, patience_.pictureWait);
    answerWaitingRequests(nullptr);
}

void CameraDelivery::watchForSilence() {
    if (patience_.silence <= 0 || !running_ || hasFailed()) return silenceWatch_.cancel();
    silenceWatch_ =
        RealTimeAlarm(loop_, patience_.silence, [weak = weak_from_this(), seen = signsOfLife_] {
            if (auto self = weak.lock()) self->checkSilence(seen);
        });
}

void CameraDelivery::checkSilence(std::uint64_t signsBefore) {
    if (!running_ || hasFailed()) return;
    if (signsOfLife_ != signsBefore) return watchForSilence();
    fail(CameraState::Failed,
         foundation::detail::format(state_ == CameraState::Loading
                                        ? "nothing arrived within %g seconds of starting"
                                        : "nothing arrived for %g seconds",
                                    patience_.silence));
}

}  // namespace platform::media
