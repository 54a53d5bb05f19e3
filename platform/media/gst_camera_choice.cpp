#include "platform/media/gst_camera_choice.h"

#include <string_view>

#include "platform/media/gst_device_source.h"
#include "platform/media/gst_test_camera.h"

namespace platform::media::gst {

namespace {

constexpr std::string_view kPipelinePrefix = "pipeline:";

CameraChoice failedChoice(std::string description, std::string failure) {
    CameraChoice choice;
    choice.description = std::move(description);
    choice.failure = std::move(failure);
    choice.lasting = true;
    return choice;
}

CameraChoice testCamera(std::string description) {
    CameraChoice choice;
    choice.description = std::move(description);
    choice.orientation = graphics::ImageOrientation::Right;
    choice.hasFlash = true;
    choice.source = makeTestCamera(choice.failure);
    choice.lasting = !choice.source;
    return choice;
}

CameraChoice deviceCamera(GstDevice* device) {
    CameraChoice choice;
    choice.description = describeDevice(device);
    if (isV4l2Device(device)) choice.devicePath = devicePath(device);
    choice.source = makeDeviceSource(device);
    if (!choice.source) choice.failure = "cannot open " + choice.description;
    return choice;
}

CameraChoice firstCameraFound() {
    if (auto device = firstVideoSource()) return deviceCamera(device.get());
    return testCamera("test camera (no camera device found)");
}

CameraChoice cameraAtPath(const std::string& path) {
    if (auto device = videoSourceAtPath(path)) return deviceCamera(device.get());
    // Not announced by the monitor: let the driver itself say what is wrong with it.
    auto source = makeV4l2Source(path);
    if (!source) return failedChoice(path, "the V4L2 camera plugin is missing");
    CameraChoice choice;
    choice.description = path;
    choice.source = std::move(source);
    return choice;
}

CameraChoice cameraPipeline(const std::string& pipeline) {
    std::string description = "pipeline " + pipeline;
    // The closing element lets the description end in caps, as gst-launch lines often do,
    // and gives the bin its one output.
    const std::string withOutput = pipeline + " ! capsfilter";
    GError* error = nullptr;
    auto source = adoptFloating(gst_parse_bin_from_description_full(
        withOutput.c_str(), TRUE, nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &error));
    if (error) {
        return failedChoice(std::move(description), "cannot build the pipeline \"" + pipeline +
                                                        "\": " + ErrorPtr(error)->message);
    }
    CameraChoice choice;
    choice.description = std::move(description);
    choice.source = std::move(source);
    return choice;
}

}  // namespace

CameraChoice chooseCamera(const std::string& device) {
    ensureInitialised();
    if (device == "auto") return firstCameraFound();
    if (device == "test") return testCamera("test camera");
    if (device.starts_with('/')) return cameraAtPath(device);
    if (device.starts_with(kPipelinePrefix))
        return cameraPipeline(device.substr(kPipelinePrefix.size()));
    return failedChoice(device,
                        "unknown camera \"" + device +
                            "\" (expected auto, test, /dev/videoN or pipeline:DESCRIPTION)");
}

}  // namespace platform::media::gst
