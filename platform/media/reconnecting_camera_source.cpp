#include "platform/media/reconnecting_camera_source.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/log.h"

namespace platform::media {

ReconnectingCameraSource::ReconnectingCameraSource(foundation::RunLoop& loop, Opener open,
                                                   ReopeningPauses pauses)
    : loop_(loop),
      open_(std::move(open)),
      pauses_(pauses),
      nextPause_(pauses.firstPause),
      self_(std::make_shared<ReconnectingCameraSource*>(this)) {
    camera_ = open_();
}

ReconnectingCameraSource::~ReconnectingCameraSource() {
    if (reopening_) reopening_->invalidate();
}

void ReconnectingCameraSource::start(PreviewHandler onPreview, StateHandler onState) {
    onPreview_ = std::move(onPreview);
    onState_ = std::move(onState);
    ++handlersGeneration_;
    running_ = true;
    if (!away_) return startCamera();
    loop_.post([weak = std::weak_ptr(self_), generation = handlersGeneration_] {
        auto self = weak.lock();
        if (!self || (*self)->handlersGeneration_ != generation) return;
        (*self)->report((*self)->awayState_, (*self)->awayCause_);
    });
    if (!reopening_ && canRecover()) reopen();
}

void ReconnectingCameraSource::stop() {
    running_ = false;
    onPreview_ = nullptr;
    onState_ = nullptr;
    ++handlersGeneration_;
    if (reopening_) reopening_->invalidate();
    reopening_.reset();
    camera_->stop();
}

void ReconnectingCameraSource::takePicture(PictureHandler done) {
    if (!away_) return camera_->takePicture(std::move(done));
    loop_.post([weak = std::weak_ptr(self_), done = std::move(done)] {
        if (weak.lock()) done(nullptr);
    });
}

bool ReconnectingCameraSource::hasFlash() const {
    return camera_->hasFlash();
}

CameraState ReconnectingCameraSource::state() const {
    return away_ ? awayState_ : camera_->state();
}

std::string ReconnectingCameraSource::failure() const {
    return away_ ? awayCause_ : camera_->failure();
}

std::string ReconnectingCameraSource::description() const {
    return camera_->description();
}

bool ReconnectingCameraSource::canRecover() const {
    return camera_->canRecover();
}

void ReconnectingCameraSource::startCamera() {
    std::weak_ptr weak = self_;
    const auto generation = cameraGeneration_;
    camera_->start(
        [weak, generation](graphics::ImagePtr preview) {
            auto self = weak.lock();
            if (!self || (*self)->cameraGeneration_ != generation) return;
            if ((*self)->onPreview_) (*self)->onPreview_(std::move(preview));
        },
        [weak, generation](CameraState state, const std::string& detail) {
            auto self = weak.lock();
            if (self && (*self)->cameraGeneration_ == generation)
                (*self)->cameraStateChanged(state, detail);
        });
}

void ReconnectingCameraSource::cameraStateChanged(CameraState state, const std::string& detail) {
    switch (state) {
        case CameraState::Loading:
            // Each new try loads; the screen keeps saying why there is no picture meanwhile.
            if (!away_) report(state, detail);
            return;
        case CameraState::Ready:
            if (away_) foundation::logInfo("Camera: %@ is back", camera_->description());
            away_ = false;
            readySince_ = loop_.now();
            report(state, detail);
            return;
        case CameraState::NoCamera:
        case CameraState::Failed:
            if (readySince_ && loop_.now() - *readySince_ >= pauses_.longestPause)
                nextPause_ = pauses_.firstPause;
            readySince_.reset();
            away_ = true;
            awayState_ = state;
            awayCause_ = detail;
            report(state, detail);
            if (canRecover()) scheduleReopening();
            return;
    }
}

void ReconnectingCameraSource::scheduleReopening() {
    if (reopening_ || !running_) return;
    const double pause = nextPause_;
    nextPause_ = std::min(nextPause_ * 2.0, pauses_.longestPause);
    foundation::logDebug("Camera: trying %@ again in %g s", camera_->description(), pause);
    reopening_ =
        loop_.scheduleTimer(pause, false, [weak = std::weak_ptr(self_)](foundation::Timer&) {
            if (auto self = weak.lock()) (*self)->reopen();
        });
}

void ReconnectingCameraSource::reopen() {
    reopening_.reset();
    if (!running_) return;
    // The old camera lets go of its device before the new one asks for it.
    camera_.reset();
    ++cameraGeneration_;
    ++reopenings_;
    camera_ = open_();
    startCamera();
}

void ReconnectingCameraSource::report(CameraState state, const std::string& detail) {
    if (onState_) onState_(state, detail);
}

}  // namespace platform::media
