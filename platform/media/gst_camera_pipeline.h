#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/media/camera_source.h"
#include "platform/media/gst_ptr.h"

namespace platform::media::gst {

// What the pipeline reports, each call on one of GStreamer's threads.
struct PipelineEvents {
    std::function<void(graphics::ImagePtr preview)> preview;
    std::function<void()> firstFrame;
    // Failed or NoCamera, with the cause.
    std::function<void(CameraState state, const std::string& cause)> failure;
};

// The camera's source feeding a tee: a small preview branch that gets every frame, and a
// full-resolution branch whose newest frame is kept, referenced rather than copied, until
// a picture is asked for.
class CameraPipeline {
  public:
    // Null with `error` set if the source cannot be joined to the sinks.
    static std::unique_ptr<CameraPipeline> create(ElementPtr source,
                                                  graphics::ImageOrientation orientation,
                                                  PipelineEvents events, std::string& error);
    ~CameraPipeline();
    CameraPipeline(const CameraPipeline&) = delete;
    CameraPipeline& operator=(const CameraPipeline&) = delete;

    void play();
    // Releases the device, joins GStreamer's threads and lets the newest frame go: a camera
    // that is not running has no picture to give.
    void halt();

    // The newest full-resolution frame as a picture, or nullptr if none has arrived.
    graphics::ImagePtr newestPicture() const;
    // The V4L2 device the pipeline reads, or empty.
    std::string v4l2DevicePath() const;

  private:
    friend struct PipelineCallbacks;

    CameraPipeline(graphics::ImageOrientation orientation, PipelineEvents events);
    bool assemble(ElementPtr source, std::string& error);
    bool attachSinks(GstBin* sinks, std::string& error);
    void keepFrame(SamplePtr sample);
    void reportPreview(GstSample* sample);
    void reportMessage(GstMessage* message);
    void fitPreviewTo(const GstCaps* frameCaps);

    graphics::ImageOrientation orientation_;
    PipelineEvents events_;
    ElementPtr pipeline_;
    ElementPtr previewSize_;
    mutable std::mutex newestMutex_;
    SamplePtr newest_;
    std::atomic<bool> sawFrame_{false};
};

}  // namespace platform::media::gst
