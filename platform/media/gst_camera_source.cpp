#include <atomic>

#include "platform/foundation/log.h"
#include "platform/media/camera_delivery.h"
#include "platform/media/camera_source.h"
#include "platform/media/gst_camera_choice.h"
#include "platform/media/gst_camera_pipeline.h"
#include "platform/media/reconnecting_camera_source.h"
#include "platform/media/v4l2_flash.h"

namespace platform::media {

namespace {

// Where the pipeline's events land on the main thread. Filled in once both ends exist,
// before the pipeline first plays, and read only by tasks on the main loop: once the
// camera is gone they find nothing.
struct Endpoints {
    std::weak_ptr<gst::CameraPipeline> pipeline;
    std::weak_ptr<CameraDelivery> delivery;
    // At most one preview waits on the loop; a busy loop skips frames instead of piling
    // them up.
    std::atomic<bool> previewPending{false};
};

gst::PipelineEvents postingTo(foundation::RunLoop& loop, std::shared_ptr<Endpoints> ends) {
    gst::PipelineEvents events;
    events.preview = [&loop, ends](graphics::ImagePtr preview) {
        if (ends->previewPending.exchange(true)) return;
        loop.post([ends, preview = std::move(preview)] {
            ends->previewPending = false;
            if (auto delivery = ends->delivery.lock()) delivery->showPreview(preview);
        });
    };
    events.firstFrame = [&loop, ends] {
        loop.post([ends] {
            if (auto delivery = ends->delivery.lock()) delivery->frameArrived();
        });
    };
    events.failure = [&loop, ends](CameraState state, const std::string& cause) {
        loop.post([ends, state, cause] {
            if (auto pipeline = ends->pipeline.lock()) pipeline->halt();
            if (auto delivery = ends->delivery.lock()) delivery->fail(state, cause);
        });
    };
    return events;
}

// A camera on GStreamer: one pipeline whose threads only post to the main loop. Once it
// has failed it stays failed; the camera is opened anew to try again.
class GstCameraSource final : public CameraSource {
  public:
    GstCameraSource(const CameraOptions& options, foundation::RunLoop& loop);
    ~GstCameraSource() override;

    void start(PreviewHandler onPreview, StateHandler onState) override;
    void stop() override;
    void takePicture(PictureHandler done) override { delivery_->takePicture(std::move(done)); }
    bool hasFlash() const override { return hasFlash_; }
    CameraState state() const override { return delivery_->state(); }
    std::string failure() const override {
        return delivery_->hasFailed() ? delivery_->detail() : std::string();
    }
    std::string description() const override { return delivery_->description(); }
    bool canRecover() const override { return canRecover_; }
    // The path of the V4L2 device the monitor found, or empty.
    const std::string& devicePath() const { return devicePath_; }

  private:
    std::shared_ptr<gst::CameraPipeline> pipeline_;
    std::shared_ptr<CameraDelivery> delivery_;
    bool hasFlash_ = false;
    bool canRecover_ = true;
    std::string devicePath_;
};

GstCameraSource::GstCameraSource(const CameraOptions& options, foundation::RunLoop& loop) {
    auto choice = gst::chooseCamera(options.device);
    auto ends = std::make_shared<Endpoints>();
    std::string failure = std::move(choice.failure);
    devicePath_ = choice.devicePath;
    const bool made = choice.source != nullptr;
    if (made) {
        pipeline_ = gst::CameraPipeline::create(std::move(choice.source),
                                                options.orientation.value_or(choice.orientation),
                                                postingTo(loop, ends), failure);
    }
    // A source that cannot be joined to the sinks will not be joined on another try either.
    canRecover_ = pipeline_ || (!made && !choice.lasting);
    delivery_ = std::make_shared<CameraDelivery>(
        loop, choice.description,
        [pipeline = std::weak_ptr(pipeline_)]() -> graphics::ImagePtr {
            auto held = pipeline.lock();
            return held ? held->newestPicture() : nullptr;
        },
        options.patience);
    ends->pipeline = pipeline_;
    ends->delivery = delivery_;
    foundation::logDebug("Camera: %@", choice.description);
    if (!pipeline_) {
        delivery_->fail(CameraState::Failed, failure);
        return;
    }
    const auto v4l2Path = pipeline_->v4l2DevicePath();
    hasFlash_ = choice.hasFlash || (!v4l2Path.empty() && v4l2DeviceOffersFlash(v4l2Path));
}

GstCameraSource::~GstCameraSource() {
    // Joins GStreamer's threads while everything they use still exists.
    if (pipeline_) pipeline_->halt();
}

void GstCameraSource::start(PreviewHandler onPreview, StateHandler onState) {
    delivery_->start(std::move(onPreview), std::move(onState));
    if (pipeline_ && !delivery_->hasFailed()) pipeline_->play();
}

void GstCameraSource::stop() {
    if (pipeline_) pipeline_->halt();
    delivery_->stop();
}

}  // namespace

std::unique_ptr<CameraSource> CameraSource::open(const CameraOptions& options,
                                                 foundation::RunLoop& mainLoop) {
    // "auto" goes on meaning the device it found first: while that one is unplugged, another
    // camera or the test camera taking its place would be a surprise.
    auto device = std::make_shared<std::string>(options.device);
    return std::make_unique<ReconnectingCameraSource>(mainLoop, [options, device, &mainLoop] {
        CameraOptions chosen = options;
        chosen.device = *device;
        auto camera = std::make_unique<GstCameraSource>(chosen, mainLoop);
        if (!camera->devicePath().empty()) *device = camera->devicePath();
        return camera;
    });
}

}  // namespace platform::media
