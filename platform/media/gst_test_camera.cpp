#include "platform/media/gst_test_camera.h"

namespace platform::media::gst {

namespace {

// The still part is drawn once upright (1536 × 2048), turned a quarter to the left and
// frozen; only the ball is drawn at every frame, and the still part is copied under it
// (operator=source) rather than blended, which keeps a frame to a few milliseconds.
// The live ball would otherwise start before the still part is ready, so the frame waits
// up to a second for it, once, at the start. 15 frames a second is smooth enough for a
// live view and leaves the machine idle.
constexpr const char* kTestCameraScene =
    "compositor name=still background=black"
    "  sink_1::ypos=1280 sink_2::xpos=1000 sink_2::ypos=150 sink_2::width=400 sink_2::height=400"
    " ! video/x-raw,format=BGRA ! videoflip video-direction=90l ! imagefreeze ! frame.sink_0 "
    "videotestsrc num-buffers=1 pattern=gradient background-color=0xff2060c0"
    "  foreground-color=0xffb8d8f0 ! video/x-raw,format=BGRA,width=1536,height=1280 ! still.sink_0 "
    "videotestsrc num-buffers=1 pattern=gradient background-color=0xff204010"
    "  foreground-color=0xff70a040 ! video/x-raw,format=BGRA,width=1536,height=768 ! still.sink_1 "
    "videotestsrc num-buffers=1 pattern=ball background-color=0x00000000"
    "  foreground-color=0xfffff0a0 ! video/x-raw,format=BGRA,width=100,height=100 ! still.sink_2 "
    "videotestsrc is-live=true pattern=ball background-color=0x00000000"
    "  foreground-color=0xffe03020 ! video/x-raw,format=BGRA,width=160,height=160,framerate=15/1"
    "  ! frame.sink_1 "
    "compositor name=frame background=black latency=1000000000 sink_0::operator=source"
    "  sink_1::xpos=700 sink_1::ypos=450 sink_1::width=640 sink_1::height=640"
    " ! capsfilter caps=video/x-raw,format=BGRA,width=2048,height=1536,framerate=15/1";

}  // namespace

ElementPtr makeTestCamera(std::string& error) {
    GError* parseError = nullptr;
    auto camera = adoptFloating(gst_parse_bin_from_description_full(
        kTestCameraScene, TRUE, nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &parseError));
    if (parseError) {
        error = ErrorPtr(parseError)->message;
        return nullptr;
    }
    return camera;
}

}  // namespace platform::media::gst
