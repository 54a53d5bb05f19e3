#include "platform/media/gst_device_source.h"

#include <gtest/gtest.h>

namespace {

using namespace platform::media::gst;

CapsPtr caps(const char* description) {
    ensureInitialised();
    return CapsPtr(gst_caps_from_string(description));
}

std::string text(const CapsPtr& caps) {
    return StringPtr(gst_caps_to_string(caps.get())).get();
}

// A 1080p webcam sends raw frames that large only five times a second, but MJPEG thirty: the
// largest size that is live is taken, compressed if need be; raw video at the same size is
// preferred (both kept); the top of size ranges, and formats that do not say their rate, count;
// without a live mode the fastest, then largest, is taken.
TEST(LiveModeCaps, TakesTheLargestLiveSizePreferringRawVideo) {
    const std::pair<const char*, const char*> cases[] = {
        {"video/x-raw, format=YUY2, width=640, height=480, framerate={ 30/1, 15/1 }; "
         "video/x-raw, format=YUY2, width=1920, height=1080, framerate=5/1; "
         "image/jpeg, width=1920, height=1080, framerate={ 30/1, 15/1 }; "
         "image/jpeg, width=1280, height=720, framerate=30/1",
         "image/jpeg, width=1920, height=1080, framerate=30/1"},
        {"image/jpeg, width=1280, height=720, framerate=30/1; "
         "video/x-raw, format=YUY2, width=1280, height=720, framerate=15/1",
         "video/x-raw, format=YUY2, width=1280, height=720, framerate=15/1; "
         "image/jpeg, width=1280, height=720, framerate=30/1"},
        {"video/x-raw, format=NV12, width=[ 16, 2592 ], height=[ 16, 1944 ]; "
         "video/x-raw, format=YUY2, width={ 640, 1280 }, height={ 480, 960 }, "
         "framerate=[ 1/1, 30/1 ]",
         "video/x-raw, format=NV12, width=2592, height=1944"},
        {"video/x-raw, format=YUY2, width=2592, height=1944, framerate=2/1; "
         "video/x-raw, format=YUY2, width=1280, height=720, framerate=10/1; "
         "video/x-raw, format=YUY2, width=640, height=480, framerate=10/1",
         "video/x-raw, format=YUY2, width=1280, height=720, framerate=10/1"}};
    for (const auto& [offered, expected] : cases) {
        const auto chosen = liveModeCaps(caps(offered).get());
        EXPECT_TRUE(gst_caps_is_strictly_equal(chosen.get(), caps(expected).get())) << text(chosen);
    }
    EXPECT_TRUE(gst_caps_is_empty(liveModeCaps(caps("video/x-raw, format=YUY2").get()).get()));
}

// The same webcam announced by V4L2 and by PipeWire, or by libcamera and PipeWire.
TEST(CameraKey, NamesOnePhysicalCameraAlikeWhicheverProviderAnnouncesIt) {
    ensureInitialised();
    auto properties = [](const char* text) {
        return std::unique_ptr<GstStructure, decltype(&gst_structure_free)>(
            gst_structure_from_string(text, nullptr), gst_structure_free);
    };
    const auto v4l2 = properties("v4l2deviceprovider, device.path=/dev/video0");
    const auto pipewire = properties("pipewire-proplist, api.v4l2.path=/dev/video0");
    const auto pipewireLibcamera =
        properties("pipewire-proplist, api.libcamera.path=\"/base/i2c@1/imx219@10\"");
    EXPECT_EQ(cameraKey(v4l2.get(), "GstV4l2Device", "Webcam"),
              cameraKey(pipewire.get(), "GstPipeWireDevice", "Webcam (V4L2)"));
    EXPECT_EQ(cameraKey(nullptr, "GstLibcameraDevice", "/base/i2c@1/imx219@10"),
              cameraKey(pipewireLibcamera.get(), "GstPipeWireDevice", "imx219"));
    EXPECT_NE(cameraKey(v4l2.get(), "GstV4l2Device", "Webcam"),
              cameraKey(pipewireLibcamera.get(), "GstPipeWireDevice", "imx219"));
    EXPECT_EQ(cameraKey(nullptr, "GstPipeWireDevice", "screen"), "");
}

}  // namespace
