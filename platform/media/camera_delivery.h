#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/camera_source.h"
#include "platform/media/real_time_alarm.h"

namespace platform::media {

// The main-thread half every camera source shares: the handlers, the state and the
// picture requests waiting for a first frame. Every handler call is posted to the main
// loop and holds the delivery weakly, so nothing is called once its source is gone.
// Only a ready, running camera gives pictures: one that failed or stopped gives nullptr,
// never the last frame it happened to hold.
class CameraDelivery : public std::enable_shared_from_this<CameraDelivery> {
  public:
    // The full picture of the newest frame held, or nullptr before the first one.
    using NewestPicture = std::function<graphics::ImagePtr()>;

    CameraDelivery(foundation::RunLoop& loop, std::string description, NewestPicture newestPicture,
                   CameraPatience patience = {});

    void start(CameraSource::PreviewHandler onPreview, CameraSource::StateHandler onState);
    void stop();
    void takePicture(CameraSource::PictureHandler done);

    // What the camera reports, on the main thread.
    void showPreview(graphics::ImagePtr preview);
    // A first full-resolution frame is held: the camera is ready.
    void frameArrived();
    // `state` is Failed or NoCamera; the first cause reported is the one kept.
    void fail(CameraState state, const std::string& cause);
    // The camera is there again after a failure: loading until its next first frame.
    void reopen();

    CameraState state() const { return state_; }
    const std::string& detail() const { return detail_; }
    const std::string& description() const { return description_; }
    bool isRunning() const { return running_; }
    bool hasFailed() const {
        return state_ == CameraState::Failed || state_ == CameraState::NoCamera;
    }

  private:
    void changeState(CameraState state, std::string detail);
    // Runs `call` on a later turn if the handlers of now are still the ones in place then.
    void notifyLater(std::function<void(CameraDelivery&)> call);
    void answerWaitingRequests(graphics::ImagePtr picture);
    void answerLater(CameraSource::PictureHandler done, graphics::ImagePtr picture);
    void giveUpWaiting();
    // Watches a running camera for frames until it stops or fails.
    void watchForSilence();
    void checkSilence(std::uint64_t signsBefore);

    foundation::RunLoop& loop_;
    std::string description_;
    NewestPicture newestPicture_;
    CameraPatience patience_;
    CameraState state_ = CameraState::Loading;
    std::string detail_;
    bool running_ = false;
    CameraSource::PreviewHandler onPreview_;
    CameraSource::StateHandler onState_;
    std::uint64_t handlersGeneration_ = 0;
    std::vector<CameraSource::PictureHandler> waiting_;
    // Held while requests wait for a first frame, so a virtual clock waits for it too, but
    // no longer than the picture wait: then the requests are answered with nothing.
    foundation::RunLoop::BackgroundWork waitingMark_;
    RealTimeAlarm waitingLimit_;
    // Frames seen, as previews or a first frame; the silence watch compares them.
    std::uint64_t signsOfLife_ = 0;
    RealTimeAlarm silenceWatch_;
};

}  // namespace platform::media
