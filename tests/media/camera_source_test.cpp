#include "platform/media/camera_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <tuple>

#include "platform/foundation/log.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/gst_device_source.h"
#include "platform/media/live_picture_view.h"
#include "platform/media/reconnecting_camera_source.h"
#include "platform/media/services.h"
#include "tests/graphics/test_pictures.h"
#include "tests/support/scripted_camera_source.h"

namespace {

using platform::foundation::RunLoop;
using platform::foundation::SystemLog;
using platform::foundation::VirtualClock;
using namespace test_pictures;
using platform::media::CameraSource;
using platform::media::CameraState;
using platform::media::ReconnectingCameraSource;
using platform::media::ScriptedCameraSource;
namespace gst = platform::media::gst;

// Runs the loop in short slices until `done` holds or `limit` seconds pass.
inline bool runUntil(RunLoop& loop, const std::function<bool()>& done, double limit = 10.0) {
    const double end = loop.now() + limit;
    while (!done() && loop.now() < end) loop.runFor(0.02);
    return done();
}

// What a camera has told its user: the states in order, the previews, the pictures.
struct CameraLog {
    std::vector<std::pair<CameraState, std::string>> states;
    int previews = 0;
    ImagePtr lastPreview;
    std::vector<ImagePtr> pictures;  // one answer each, null or not

    void start(CameraSource& camera) {
        camera.start(
            [this](ImagePtr preview) {
                ++previews;
                lastPreview = std::move(preview);
            },
            [this](CameraState state, const std::string& detail) {
                states.emplace_back(state, detail);
            });
    }
    void takePicture(CameraSource& camera) {
        camera.takePicture([this](ImagePtr picture) { pictures.push_back(std::move(picture)); });
    }
    bool reached(CameraState state) const {
        return !states.empty() && states.back().first == state;
    }
    int timesIn(CameraState state) const {
        return static_cast<int>(std::count_if(states.begin(), states.end(),
                                              [&](const auto& s) { return s.first == state; }));
    }
};

// A frame for a scripted camera: what matters is which one it is, not what it shows.
ImagePtr picture() {
    return Image::withPixels(std::make_shared<PixelBuffer>(4, 3, PixelBuffer::Format::Rgb24));
}

// The test camera's scene at full size, stored as a phone held upright stores it: turned a
// quarter to the right to be seen upright, so the sky lies at the left edge and the ground
// at the right.
void expectTestCameraPicture(const ImagePtr& picture) {
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(dimensions(picture->pixels()), std::pair(2048, 1536));
    EXPECT_EQ(picture->imageOrientation(), ImageOrientation::Right);
    EXPECT_EQ(picture->scale(), 1.0f);
    const std::uint32_t sky = picture->pixels().pixel(40, 768);
    const std::uint32_t ground = picture->pixels().pixel(2000, 768);
    EXPECT_GT(channel(sky, 0), std::max(channel(sky, 1), channel(sky, 2)));           // blue
    EXPECT_GT(channel(ground, 1), std::max(channel(ground, 0), channel(ground, 2)));  // green
}

bool samePixels(const Image& a, const Image& b) {
    for (int y = 0; y < a.pixels().height(); ++y)
        for (int x = 0; x < a.pixels().width(); ++x)
            if ((a.pixels().pixel(x, y) & 0xffffff) != (b.pixels().pixel(x, y) & 0xffffff))
                return false;
    return true;
}

TEST(TestCamera, ReportsReadyAnswersPicturesOfAMovingSceneAndStopsAndStartsAgain) {
    RunLoop loop;
    CameraLog log;
    auto camera = CameraSource::open({"test"}, loop);
    const auto awaitPictures = [&](std::size_t count) {
        return runUntil(loop, [&] { return log.pictures.size() == count; });
    };
    log.start(*camera);
    ASSERT_TRUE(runUntil(loop, [&] { return log.previews >= 3; }));
    EXPECT_EQ(log.states, (decltype(log.states){{CameraState::Loading, "test camera"},
                                                {CameraState::Ready, "test camera"}}));
    EXPECT_TRUE(camera->hasFlash());
    EXPECT_EQ(dimensions(log.lastPreview->pixels()), std::pair(640, 480));
    EXPECT_EQ(log.lastPreview->imageOrientation(), ImageOrientation::Right);

    log.takePicture(*camera);
    log.takePicture(*camera);
    EXPECT_TRUE(log.pictures.empty()) << "answers come on a later turn of the loop";
    ASSERT_TRUE(awaitPictures(2));
    for (const auto& picture : log.pictures) expectTestCameraPicture(picture);

    const int previews = log.previews;
    ASSERT_TRUE(runUntil(loop, [&] { return log.previews >= previews + 3; }));
    log.takePicture(*camera);
    ASSERT_TRUE(awaitPictures(3));
    EXPECT_FALSE(samePixels(*log.pictures[0], *log.pictures[2])) << "the scene moves";

    camera->stop();
    loop.runFor(0.3);
    const auto reported = std::tuple(log.previews, log.states.size());
    loop.runFor(0.3);
    EXPECT_EQ(std::tuple(log.previews, log.states.size()), reported);

    log.takePicture(*camera);
    ASSERT_TRUE(awaitPictures(4));
    EXPECT_EQ(log.pictures[3], nullptr) << "a stopped camera's last frame is not a picture";

    // Started again, and a few frames in as at the first start, the scene is whole again.
    log.start(*camera);
    ASSERT_TRUE(runUntil(loop, [&] {
        return log.previews > std::get<0>(reported) + 3 && log.reached(CameraState::Ready);
    }));
    log.takePicture(*camera);
    ASSERT_TRUE(awaitPictures(5));
    expectTestCameraPicture(log.pictures[4]);

    // Nothing is called once the camera is destroyed.
    log.takePicture(*camera);
    camera.reset();
    const auto before = std::tuple(log.pictures.size(), log.previews, log.states.size());
    loop.runFor(0.3);
    EXPECT_EQ(std::tuple(log.pictures.size(), log.previews, log.states.size()), before);
}

// Virtual time would jump past the first frame at once, were nothing awaited: pictures asked
// before it hold the loop's background mark until it comes.
TEST(TestCameraOnVirtualTime, PicturesAskedBeforeTheFirstFrameWaitForIt) {
    RunLoop loop(std::make_shared<VirtualClock>());
    CameraLog log;
    auto camera = CameraSource::open({"test"}, loop);
    log.start(*camera);
    log.takePicture(*camera);
    log.takePicture(*camera);
    EXPECT_EQ(loop.pendingBackgroundWork(), 1);
    loop.runFor(5.0);
    ASSERT_EQ(log.pictures.size(), 2u);
    // The very first frame already shows the whole scene.
    for (const auto& picture : log.pictures) expectTestCameraPicture(picture);
}

TEST(CameraFailure, AMissingDeviceIsNoCameraAndPicturesAreAnsweredWithNothing) {
    SystemLog::Capture system;
    RunLoop loop;
    CameraLog log;
    auto camera = CameraSource::open({"/dev/video99"}, loop);
    log.start(*camera);
    log.takePicture(*camera);
    ASSERT_TRUE(runUntil(loop, [&] { return log.pictures.size() == 1; }));
    EXPECT_EQ(log.pictures[0], nullptr);
    EXPECT_EQ(camera->state(), CameraState::NoCamera);
    ASSERT_TRUE(runUntil(loop, [&] { return log.reached(CameraState::NoCamera); }));
    EXPECT_NE(log.states.back().second.find("/dev/video99"), std::string::npos);
    EXPECT_TRUE(system.contains("No camera: " + log.states.back().second));
    EXPECT_FALSE(camera->hasFlash());

    // Known failure: later requests are answered at once, without a background mark.
    log.takePicture(*camera);
    EXPECT_EQ(loop.pendingBackgroundWork(), 0);
    loop.runFor(0);
    EXPECT_EQ(log.pictures.size(), 2u);

    // An unplugged webcam comes back at its path: it is looked for again.
    ASSERT_TRUE(runUntil(loop, [&] { return system.count("Camera: /dev/video99") >= 2; }));
    EXPECT_EQ(log.timesIn(CameraState::Loading), 1) << "the screen keeps saying why";
}

// Options that cannot work fail at once and are not tried again; a stream that turns out not
// to be video fails once started.
TEST(CameraFailure, UnusableOptionsFailWithTheirCause) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"pipeline:nonsense !", "nonsense", true},
        {"pipeline:fakesink", "could not link", true},
        {"webcam", "unknown camera", true},
        {"pipeline:audiotestsrc", "", false},
    };
    for (const auto& [device, cause, atOpen] : cases) {
        SCOPED_TRACE(device);
        SystemLog::Capture system;
        RunLoop loop(std::make_shared<VirtualClock>());
        CameraLog log;
        auto camera = CameraSource::open({device}, loop);
        EXPECT_EQ(camera->state() == CameraState::Failed, atOpen);
        log.start(*camera);
        log.takePicture(*camera);
        ASSERT_TRUE(runUntil(
            loop, [&] { return log.reached(CameraState::Failed) && !log.pictures.empty(); }));
        EXPECT_EQ(log.states.size(), atOpen ? 1u : 2u);
        EXPECT_NE(log.states.back().second.find(cause), std::string::npos)
            << log.states.back().second;
        EXPECT_TRUE(system.contains("Camera failed: " + log.states.back().second));
        EXPECT_EQ(log.pictures, std::vector<ImagePtr>{nullptr});
        if (!atOpen) continue;
        loop.runFor(600);
        EXPECT_EQ(system.count("Camera: " + camera->description()), 1);
    }
}

// Previews fit the long side into 640 pixels without distortion or enlarging; a webcam's
// MJPEG frames are decoded, into the colours they show; the orientation option overrides the
// camera's own tag.
TEST(CameraFormats, PreviewsFitInto640PixelsAndJpegFramesAreDecoded) {
    const struct {
        const char* device;
        std::pair<int, int> preview;
        std::optional<ImageOrientation> option;
    } cases[] = {
        {"pipeline:videotestsrc ! video/x-raw,width=480,height=1280", {240, 640}, {}},
        {"pipeline:videotestsrc ! video/x-raw,width=1280,height=720",
         {640, 360},
         ImageOrientation::Left},
        {"pipeline:videotestsrc ! video/x-raw,width=320,height=240 ! jpegenc", {320, 240}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        RunLoop loop;
        CameraLog log;
        auto camera = CameraSource::open({c.device, c.option}, loop);
        log.start(*camera);
        log.takePicture(*camera);
        ASSERT_TRUE(runUntil(loop, [&] { return log.previews > 0 && log.pictures.size() == 1; }));
        EXPECT_EQ(dimensions(log.lastPreview->pixels()), c.preview);
        const auto& picture = log.pictures[0];
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->imageOrientation(), c.option.value_or(ImageOrientation::Up));
        EXPECT_EQ(log.lastPreview->imageOrientation(), picture->imageOrientation());
        // The colour bars: white at the left, blue at the right.
        EXPECT_TRUE(near(colourAt(picture, 1 / 16.0, 0.1), kWhite));
        EXPECT_TRUE(near(colourAt(picture, 15 / 16.0, 0.1), kBlue));
    }
}

TEST(CameraChoice, AutoUsesAFoundDeviceOrElseTheTestCameraAndSaysWhich) {
    SystemLog::Capture system;
    RunLoop loop;
    auto camera = CameraSource::open({"auto"}, loop);
    EXPECT_TRUE(system.contains("Camera: " + camera->description()));
    if (!camera->description().starts_with("test camera")) return;
    CameraLog log;
    log.start(*camera);
    log.takePicture(*camera);
    ASSERT_TRUE(runUntil(loop, [&] { return log.pictures.size() == 1; }));
    expectTestCameraPicture(log.pictures[0]);
}

// Scripted cameras opened one after another, as the reconnecting camera asks for them.
// Only the newest is still alive: the reconnecting camera owns it.
struct ScriptedCameras {
    RunLoop& loop;
    std::vector<ScriptedCameraSource*> opened = {};
    std::vector<double> openedAt = {};

    ReconnectingCameraSource::Opener opener() {
        return [this] {
            auto camera = std::make_unique<ScriptedCameraSource>(loop);
            opened.push_back(camera.get());
            openedAt.push_back(loop.now());
            return camera;
        };
    }
    ScriptedCameraSource& newest() { return *opened.back(); }
    // Runs the loop until the next camera is opened; the seconds it took.
    double awaitReopening() {
        const auto count = opened.size();
        const double from = loop.now();
        EXPECT_TRUE(runUntil(
            loop, [&] { return opened.size() > count; }, 120.0));
        return opened.size() > count ? openedAt.back() - from : -1;
    }
};

class Reconnecting : public testing::Test {
  protected:
    void SetUp() override {
        log_.start(*camera_);
        cameras_.newest().deliverFrame(picture());
        loop_.runFor(0);
        ASSERT_TRUE(log_.reached(CameraState::Ready));
    }
    void fail(CameraState state = CameraState::Failed, const char* cause = "unplugged") {
        cameras_.newest().fail(state, cause);
        loop_.runFor(0);
    }

    SystemLog::Capture system_;
    RunLoop loop_{std::make_shared<VirtualClock>()};
    ScriptedCameras cameras_{loop_};
    std::unique_ptr<ReconnectingCameraSource> camera_ =
        std::make_unique<ReconnectingCameraSource>(loop_, cameras_.opener());
    CameraLog log_;
};

TEST_F(Reconnecting, AFailedCameraIsOpenedAgainAfterGrowingPausesAndResumesWhenItDelivers) {
    loop_.runFor(60);
    EXPECT_EQ(cameras_.opened.size(), 1u) << "a working camera is left alone";

    fail();
    EXPECT_EQ(camera_->state(), CameraState::Failed);
    EXPECT_EQ(camera_->failure(), "unplugged");
    std::vector<double> pauses;
    for (int i = 0; i < 7; ++i) {
        pauses.push_back(cameras_.awaitReopening());
        // Each try loads, but the camera is not back: pictures get nothing, without a wait.
        log_.takePicture(*camera_);
        EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
        fail(CameraState::NoCamera, "no such device");
    }
    ASSERT_EQ(log_.pictures, std::vector<ImagePtr>(7, nullptr));
    const double doubling[] = {1, 2, 4, 8, 16, 30, 30};  // to at most half a minute
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(pauses[i], doubling[i], 1e-6) << i;
    EXPECT_EQ(log_.timesIn(CameraState::Loading), 1) << "the tries do not flash 'Starting'";
    EXPECT_EQ(log_.states.back(),
              std::make_pair(CameraState::NoCamera, std::string("no such device")));

    cameras_.awaitReopening();
    const auto fresh = picture();
    cameras_.newest().deliverFrame(fresh);
    loop_.runFor(0);
    EXPECT_TRUE(log_.reached(CameraState::Ready));
    EXPECT_EQ(camera_->failure(), "");
    EXPECT_EQ(log_.lastPreview, fresh);
    EXPECT_TRUE(system_.contains("Camera: scripted camera is back"));
    log_.takePicture(*camera_);
    loop_.runFor(0);
    EXPECT_EQ(log_.pictures.back(), fresh);
}

TEST_F(Reconnecting, ThePauseStartsAgainOnlyOnceTheCameraHasDeliveredAndNothingRunsOnceItIsGone) {
    fail();
    EXPECT_NEAR(cameras_.awaitReopening(), 1.0, 1e-6);
    cameras_.newest().deliverFrame(picture());
    loop_.runFor(5);
    fail();
    EXPECT_NEAR(cameras_.awaitReopening(), 2.0, 1e-6) << "it failed again right away";
    cameras_.newest().deliverFrame(picture());
    loop_.runFor(31);
    fail();
    EXPECT_NEAR(cameras_.awaitReopening(), 1.0, 1e-6);

    // Destroyed with a failed camera and a picture asked for: nothing runs after.
    fail();
    log_.takePicture(*camera_);
    const auto told = std::tuple(cameras_.opened.size(), log_.states.size());
    camera_.reset();
    loop_.runFor(60);
    EXPECT_EQ(std::tuple(cameras_.opened.size(), log_.states.size()), told);
    EXPECT_EQ(log_.pictures.size(), 0u);
}

TEST(CameraDelivery, ACameraThatFallsSilentFails) {
    RunLoop loop;
    ScriptedCameraSource camera(loop, "scripted camera", false, {.pictureWait = 3, .silence = 0.5});
    CameraLog log;
    log.start(camera);
    int frames = 0;
    loop.scheduleTimer(0.03, true, [&](platform::foundation::Timer& timer) {
        camera.deliverFrame(picture());
        if (++frames == 40) timer.invalidate();
    });
    ASSERT_TRUE(runUntil(loop, [&] { return frames == 40; }));
    EXPECT_EQ(log.timesIn(CameraState::Failed), 0);
    ASSERT_TRUE(runUntil(loop, [&] { return log.reached(CameraState::Failed); }));
    EXPECT_EQ(log.states.back().second, "nothing arrived for 0.5 seconds");
}

// A camera that goes away during a time-lapse leaves no frozen frame on the screen, which
// says why there is no picture. (That its shots are then missed, not faked, the capture
// screen's and the application's tests show.)
TEST(CameraAway, ItsFrameIsNotShownAndTheScreenSaysWhy) {
    using namespace platform::media;
    SystemLog::Capture system;  // quiet
    const auto camera = std::make_shared<ScriptedCameraSource>(RunLoop::main());
    Services world({.clock = std::make_shared<VirtualClock>(),
                    .cameraSource = camera,
                    .album = ::testing::TempDir() + "orvex-camera-away-album"});
    const auto picker = std::make_shared<CameraPickerService>();
    picker->setSourceType(SourceType::Camera);
    const auto live = std::dynamic_pointer_cast<LivePictureView>(picker->view());
    ASSERT_NE(live, nullptr);
    camera->deliverFrame(picture());
    RunLoop::main().runFor(0);
    ASSERT_NE(live->cameraFrame(), nullptr);

    camera->fail(CameraState::Failed, "unplugged");
    RunLoop::main().runFor(0);
    EXPECT_EQ(live->cameraFrame(), nullptr);
    EXPECT_EQ(live->statusText(), "No picture from scripted camera\nunplugged");

    camera->reconnect();
    const auto fresh = picture();
    camera->deliverFrame(fresh);
    RunLoop::main().runFor(0);
    EXPECT_EQ(live->cameraFrame(), fresh);
}

gst::CapsPtr caps(const char* description) {
    gst::ensureInitialised();
    return gst::CapsPtr(gst_caps_from_string(description));
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
        const auto chosen = gst::liveModeCaps(caps(offered).get());
        EXPECT_TRUE(gst_caps_is_strictly_equal(chosen.get(), caps(expected).get()))
            << gst::StringPtr(gst_caps_to_string(chosen.get())).get();
    }
    EXPECT_TRUE(gst_caps_is_empty(gst::liveModeCaps(caps("video/x-raw, format=YUY2").get()).get()));
}

// The same webcam announced by V4L2 and by PipeWire, or by libcamera and PipeWire.
TEST(CameraKey, NamesOnePhysicalCameraAlikeWhicheverProviderAnnouncesIt) {
    gst::ensureInitialised();
    auto properties = [](const char* text) {
        return std::unique_ptr<GstStructure, decltype(&gst_structure_free)>(
            gst_structure_from_string(text, nullptr), gst_structure_free);
    };
    const auto v4l2 = properties("v4l2deviceprovider, device.path=/dev/video0");
    const auto pipewire = properties("pipewire-proplist, api.v4l2.path=/dev/video0");
    const auto pipewireLibcamera =
        properties("pipewire-proplist, api.libcamera.path=\"/base/i2c@1/imx219@10\"");
    EXPECT_EQ(gst::cameraKey(v4l2.get(), "GstV4l2Device", "Webcam"),
              gst::cameraKey(pipewire.get(), "GstPipeWireDevice", "Webcam (V4L2)"));
    EXPECT_EQ(gst::cameraKey(nullptr, "GstLibcameraDevice", "/base/i2c@1/imx219@10"),
              gst::cameraKey(pipewireLibcamera.get(), "GstPipeWireDevice", "imx219"));
    EXPECT_NE(gst::cameraKey(v4l2.get(), "GstV4l2Device", "Webcam"),
              gst::cameraKey(pipewireLibcamera.get(), "GstPipeWireDevice", "imx219"));
    EXPECT_EQ(gst::cameraKey(nullptr, "GstPipeWireDevice", "screen"), "");
}

}  // namespace
