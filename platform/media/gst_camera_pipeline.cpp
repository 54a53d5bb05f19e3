#include "platform/media/gst_camera_pipeline.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

#include "platform/media/gst_sample_image.h"

#if defined(__SANITIZE_THREAD__)
#define ORVEX_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVEX_UNDER_TSAN 1
#endif
#endif
#ifdef ORVEX_UNDER_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace platform::media::gst {

namespace {

// Whatever the source delivers is decoded and converted once, then split. The preview
// queue drops old frames rather than hold up the camera; both sinks keep only the newest
// frame and keep no extra reference to the last one. The decoder's output appears only
// once the stream's type is known, and anew at every start, so it is linked in code.
constexpr const char* kSinks =
    "decodebin name=decode "
    "videoconvert name=convert ! video/x-raw,format={BGRx,BGRA} ! tee name=split "
    "split. ! queue leaky=downstream max-size-buffers=1 max-size-bytes=0 max-size-time=0"
    "  ! videoscale name=previewscale ! capsfilter name=previewsize"
    "  ! appsink name=preview max-buffers=1 drop=true sync=false enable-last-sample=false "
    "split. ! appsink name=full max-buffers=1 drop=true sync=false enable-last-sample=false";

constexpr int kPreviewLongSide = 640;

struct PreviewSize {
    int width;
    int height;
};

// The frame's displayed shape, shrunk to fit the preview's long side.
PreviewSize previewSizeFor(const GstVideoInfo& frame) {
    const double width = GST_VIDEO_INFO_WIDTH(&frame) *
                         static_cast<double>(GST_VIDEO_INFO_PAR_N(&frame)) /
                         std::max(1, GST_VIDEO_INFO_PAR_D(&frame));
    const double height = GST_VIDEO_INFO_HEIGHT(&frame);
    const double scale = std::min(1.0, kPreviewLongSide / std::max(width, height));
    return {std::max(1, static_cast<int>(std::lround(width * scale))),
            std::max(1, static_cast<int>(std::lround(height * scale)))};
}

// GStreamer's generic streaming failure says nothing by itself; its reason is the last
// line of the debugging text ("streaming stopped, reason not-negotiated (-4)").
std::string causeOf(const GError& error, const gchar* debug) {
    std::string cause = error.message;
    if (error.domain != GST_STREAM_ERROR || error.code != GST_STREAM_ERROR_FAILED || !debug)
        return cause;
    const std::string_view details(debug);
    return cause + " (" + std::string(details.substr(details.find_last_of('\n') + 1)) + ")";
}

// Everything the pipeline was given before it plays is there for its callbacks: GStreamer
// hands its streaming threads their work through GLib locks that ThreadSanitizer cannot see,
// on threads from a pool that may have run an earlier pipeline. These two calls tell it so
// (play() releases, each callback acquires); elsewhere they do nothing.
void releaseToStreaming([[maybe_unused]] void* pipeline) {
#ifdef ORVEX_UNDER_TSAN
    __tsan_release(pipeline);
#endif
}

void acquireOnStreaming([[maybe_unused]] void* pipeline) {
#ifdef ORVEX_UNDER_TSAN
    __tsan_acquire(pipeline);
#endif
}

}  // namespace

// GStreamer's C callbacks, handing over to the pipeline they were registered with.
struct PipelineCallbacks {
    static GstFlowReturn fullSample(GstAppSink* sink, gpointer pipeline) {
        acquireOnStreaming(pipeline);
        SamplePtr sample{gst_app_sink_pull_sample(sink)};
        if (sample) static_cast<CameraPipeline*>(pipeline)->keepFrame(std::move(sample));
        return GST_FLOW_OK;
    }

    static GstFlowReturn previewSample(GstAppSink* sink, gpointer pipeline) {
        acquireOnStreaming(pipeline);
        SamplePtr sample{gst_app_sink_pull_sample(sink)};
        if (sample) static_cast<CameraPipeline*>(pipeline)->reportPreview(sample.get());
        return GST_FLOW_OK;
    }

    static GstBusSyncReply busMessage(GstBus*, GstMessage* message, gpointer pipeline) {
        acquireOnStreaming(pipeline);
        static_cast<CameraPipeline*>(pipeline)->reportMessage(message);
        return GST_BUS_DROP;
    }

    static void decodedPad(GstElement*, GstPad* output, gpointer converter) {
        PadPtr input{gst_element_get_static_pad(GST_ELEMENT(converter), "sink")};
        if (!gst_pad_is_linked(input.get())) gst_pad_link(output, input.get());
    }

    static GstPadProbeReturn previewCaps(GstPad*, GstPadProbeInfo* info, gpointer pipeline) {
        acquireOnStreaming(pipeline);
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            static_cast<CameraPipeline*>(pipeline)->fitPreviewTo(caps);
        }
        return GST_PAD_PROBE_OK;
    }
};

CameraPipeline::CameraPipeline(graphics::ImageOrientation orientation, PipelineEvents events)
    : orientation_(orientation), events_(std::move(events)) {}

std::unique_ptr<CameraPipeline> CameraPipeline::create(ElementPtr source,
                                                       graphics::ImageOrientation orientation,
                                                       PipelineEvents events, std::string& error) {
    std::unique_ptr<CameraPipeline> pipeline(new CameraPipeline(orientation, std::move(events)));
    if (!pipeline->assemble(std::move(source), error)) return nullptr;
    return pipeline;
}

bool CameraPipeline::assemble(ElementPtr source, std::string& error) {
    GError* parseError = nullptr;
    auto sinks = adoptFloating(gst_parse_bin_from_description_full(
        kSinks, FALSE, nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &parseError));
    if (parseError) {
        error = std::string("cannot build the camera's sinks: ") + ErrorPtr(parseError)->message;
        return false;
    }
    ElementPtr decode{gst_bin_get_by_name(GST_BIN(sinks.get()), "decode")};
    ElementPtr convert{gst_bin_get_by_name(GST_BIN(sinks.get()), "convert")};
    g_signal_connect(decode.get(), "pad-added", G_CALLBACK(PipelineCallbacks::decodedPad),
                     convert.get());
    PadPtr input{gst_element_get_static_pad(decode.get(), "sink")};
    gst_element_add_pad(sinks.get(), gst_ghost_pad_new("sink", input.get()));
    pipeline_ = adoptFloating(gst_pipeline_new("camera"));
    gst_bin_add_many(GST_BIN(pipeline_.get()), source.get(), sinks.get(), nullptr);
    if (!gst_element_link(source.get(), sinks.get())) {
        error = "the camera's output cannot be linked to its sinks";
        return false;
    }
    BusPtr bus{gst_element_get_bus(pipeline_.get())};
    gst_bus_set_sync_handler(bus.get(), PipelineCallbacks::busMessage, this, nullptr);
    return attachSinks(GST_BIN(sinks.get()), error);
}

bool CameraPipeline::attachSinks(GstBin* sinks, std::string& error) {
    ElementPtr full{gst_bin_get_by_name(sinks, "full")};
    ElementPtr preview{gst_bin_get_by_name(sinks, "preview")};
    ElementPtr previewScale{gst_bin_get_by_name(sinks, "previewscale")};
    previewSize_.reset(gst_bin_get_by_name(sinks, "previewsize"));
    if (!full || !preview || !previewScale || !previewSize_) {
        error = "the camera's sinks are incomplete";
        return false;
    }
    GstAppSinkCallbacks fullCallbacks{};
    fullCallbacks.new_sample = PipelineCallbacks::fullSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(full.get()), &fullCallbacks, this, nullptr);
    GstAppSinkCallbacks previewCallbacks{};
    previewCallbacks.new_sample = PipelineCallbacks::previewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(preview.get()), &previewCallbacks, this, nullptr);
    PadPtr scaleInput{gst_element_get_static_pad(previewScale.get(), "sink")};
    gst_pad_add_probe(scaleInput.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
                      PipelineCallbacks::previewCaps, this, nullptr);
    return true;
}

CameraPipeline::~CameraPipeline() {
    if (!pipeline_) return;
    halt();
    BusPtr bus{gst_element_get_bus(pipeline_.get())};
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
}

void CameraPipeline::play() {
    sawFrame_ = false;
    releaseToStreaming(this);
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        events_.failure(CameraState::Failed, "the camera could not start");
}

void CameraPipeline::halt() {
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    SamplePtr dropped;
    std::lock_guard lock(newestMutex_);
    std::swap(newest_, dropped);
}

void CameraPipeline::keepFrame(SamplePtr sample) {
    const bool first = !sawFrame_.exchange(true);
    const SamplePtr firstFrame{first ? gst_sample_ref(sample.get()) : nullptr};
    {
        std::lock_guard lock(newestMutex_);
        std::swap(newest_, sample);
    }
    if (!first) return;
    events_.firstFrame();
    // Fresh picture memory costs a page fault per 4 KiB. One throwaway copy here, on the
    // camera's thread, leaves a picture-sized block in the pixel pool, so that the first
    // shot does not pay tens of milliseconds for it on the main thread.
    imageFromSample(firstFrame.get(), orientation_);
}

graphics::ImagePtr CameraPipeline::newestPicture() const {
    SamplePtr sample;
    {
        std::lock_guard lock(newestMutex_);
        if (!newest_) return nullptr;
        sample.reset(gst_sample_ref(newest_.get()));
    }
    return imageFromSample(sample.get(), orientation_);
}

void CameraPipeline::reportPreview(GstSample* sample) {
    if (auto preview = imageFromSample(sample, orientation_)) events_.preview(std::move(preview));
}

void CameraPipeline::reportMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR: {
            GError* rawError = nullptr;
            gchar* rawDebug = nullptr;
            gst_message_parse_error(message, &rawError, &rawDebug);
            const ErrorPtr error(rawError);
            const StringPtr debug(rawDebug);
            // A device that is not there at all, as opposed to one that misbehaves.
            const bool absent = !sawFrame_ && error->domain == GST_RESOURCE_ERROR &&
                                error->code == GST_RESOURCE_ERROR_NOT_FOUND;
            events_.failure(absent ? CameraState::NoCamera : CameraState::Failed,
                            causeOf(*error, debug.get()));
            break;
        }
        case GST_MESSAGE_EOS:
            events_.failure(CameraState::Failed, "the camera stopped delivering pictures");
            break;
        default:
            break;
    }
}

void CameraPipeline::fitPreviewTo(const GstCaps* frameCaps) {
    GstVideoInfo frame;
    if (!gst_video_info_from_caps(&frame, frameCaps)) return;
    const auto size = previewSizeFor(frame);
    CapsPtr caps{gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, size.width, "height",
                                     G_TYPE_INT, size.height, "pixel-aspect-ratio",
                                     GST_TYPE_FRACTION, 1, 1, nullptr)};
    g_object_set(previewSize_.get(), "caps", caps.get(), nullptr);
}

std::string CameraPipeline::v4l2DevicePath() const {
    GstIterator* sources =
        gst_bin_iterate_all_by_element_factory_name(GST_BIN(pipeline_.get()), "v4l2src");
    GValue item = G_VALUE_INIT;
    std::string path;
    if (gst_iterator_next(sources, &item) == GST_ITERATOR_OK) {
        gchar* device = nullptr;
        g_object_get(g_value_get_object(&item), "device", &device, nullptr);
        if (device) path = StringPtr(device).get();
        g_value_unset(&item);
    }
    gst_iterator_free(sources);
    return path;
}

}  // namespace platform::media::gst
