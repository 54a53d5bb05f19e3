#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/run_loop.h"
#include "platform/media/camera_source.h"

namespace platform::media {

// How long a camera that failed is left alone before it is opened again, in the loop's
// seconds: the first pause, doubled after every further failure up to the longest.
struct ReopeningPauses {
    double firstPause = 1.0;
    double longestPause = 30.0;
};

// A camera that is opened again whenever it fails, after a pause, until it delivers again:
// an unplugged webcam comes back at its path, a pipeline that ended starts anew. The
// pauses are timers on the loop, so a virtual clock drives them too. While the camera is
// away it reports the failure (not the loading of each new try) and answers pictures with
// nullptr at once.
//
// The pause starts again from `firstPause` only once the camera has delivered for
// `longestPause`: a camera that fails right after every start is not opened once a second.
class ReconnectingCameraSource final : public CameraSource {
  public:
    // Opens the camera anew; never null.
    using Opener = std::function<std::unique_ptr<CameraSource>()>;

    ReconnectingCameraSource(foundation::RunLoop& loop, Opener open, ReopeningPauses pauses = {});
    ~ReconnectingCameraSource() override;

    void start(PreviewHandler onPreview, StateHandler onState) override;
    void stop() override;
    void takePicture(PictureHandler done) override;
    bool hasFlash() const override;
    CameraState state() const override;
    std::string failure() const override;
    std::string description() const override;
    bool canRecover() const override;

    // How often the camera has been opened again.
    int reopenings() const { return reopenings_; }

  private:
    void startCamera();
    void cameraStateChanged(CameraState state, const std::string& detail);
    void scheduleReopening();
    void reopen();
    void report(CameraState state, const std::string& detail);

    foundation::RunLoop& loop_;
    Opener open_;
    ReopeningPauses pauses_;
    std::unique_ptr<CameraSource> camera_;
    // Counts the cameras opened, so that a replaced one's late calls are told apart.
    std::uint64_t cameraGeneration_ = 0;
    bool running_ = false;
    std::uint64_t handlersGeneration_ = 0;
    PreviewHandler onPreview_;
    StateHandler onState_;
    // Set from the camera's failure until a new camera is ready.
    bool away_ = false;
    CameraState awayState_ = CameraState::Failed;
    std::string awayCause_;
    double nextPause_;
    // When the camera last became ready, while it still is.
    std::optional<double> readySince_;
    std::shared_ptr<foundation::Timer> reopening_;
    int reopenings_ = 0;
    // Held weakly by everything this posts or schedules: nothing runs once it is gone.
    std::shared_ptr<ReconnectingCameraSource*> self_;
};

}  // namespace platform::media
