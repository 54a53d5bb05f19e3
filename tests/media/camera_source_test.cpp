#include "platform/media/camera_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <tuple>

#include "platform/foundation/log.h"
#include "tests/media/camera_test_support.h"

namespace {

using namespace camera_test;
using platform::foundation::SystemLog;
using platform::graphics::Image;
using platform::graphics::ImageOrientation;
using platform::media::CameraOptions;

std::unique_ptr<CameraSource> openCamera(RunLoop& loop, std::string device,
                                         std::optional<ImageOrientation> orientation = {}) {
    return CameraSource::open(CameraOptions{std::move(device), orientation}, loop);
}

struct Rgb {
    int r, g, b;
};

Rgb rgbAt(const Image& picture, int x, int y) {
    const std::uint32_t pixel = picture.pixels().pixel(x, y);
    return {int(pixel >> 16 & 0xff), int(pixel >> 8 & 0xff), int(pixel & 0xff)};
}

int distinctColours(const Image& picture) {
    std::set<std::uint32_t> colours;
    for (int y = 0; y < picture.pixels().height(); y += 16)
        for (int x = 0; x < picture.pixels().width(); x += 16)
            colours.insert(picture.pixels().pixel(x, y) & 0xffffff);
    return int(colours.size());
}

// The test camera's scene at full size, stored as a phone held upright stores it: turned a
// quarter to the right to be seen upright, so the sky lies at the left edge and the ground
// at the right.
void expectTestCameraPicture(const ImagePtr& picture) {
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixels().width(), 2048);
    EXPECT_EQ(picture->pixels().height(), 1536);
    EXPECT_EQ(picture->imageOrientation(), ImageOrientation::Right);
    EXPECT_EQ(picture->scale(), 1.0f);
    EXPECT_EQ(picture->size().width, 1536.0f);
    EXPECT_EQ(picture->size().height, 2048.0f);
    EXPECT_GT(distinctColours(*picture), 100) << "a scene, not a flat colour";
    const Rgb sky = rgbAt(*picture, 40, 768);
    const Rgb ground = rgbAt(*picture, 2000, 768);
    EXPECT_GT(sky.b, sky.g);
    EXPECT_GT(sky.b, sky.r);
    EXPECT_GT(ground.g, ground.b);
    EXPECT_GT(ground.g, ground.r);
}

bool samePixels(const Image& a, const Image& b) {
    for (int y = 0; y < a.pixels().height(); ++y)
        for (int x = 0; x < a.pixels().width(); ++x)
            if ((a.pixels().pixel(x, y) & 0xffffff) != (b.pixels().pixel(x, y) & 0xffffff))
                return false;
    return true;
}

class TestCamera : public testing::Test {
  protected:
    // Opens the test camera and runs it until it has shown a few previews.
    void startAndWaitForPreviews(int previews = 3) {
        camera_ = openCamera(loop_, "test");
        log_.start(*camera_);
        ASSERT_TRUE(runUntil(loop_, [&] { return log_.previews >= previews; }));
    }

    RunLoop loop_;
    CameraLog log_;
    std::unique_ptr<CameraSource> camera_;
};

TEST_F(TestCamera, ReportsReadyGivesSmallPreviewsAndAnswersPicturesWithMovingScenes) {
    ASSERT_NO_FATAL_FAILURE(startAndWaitForPreviews());
    ASSERT_GE(log_.states.size(), 2u);
    EXPECT_EQ(log_.states[0], std::make_pair(CameraState::Loading, std::string("test camera")));
    EXPECT_EQ(log_.states[1], std::make_pair(CameraState::Ready, std::string("test camera")));
    EXPECT_TRUE(camera_->hasFlash());
    EXPECT_EQ(log_.lastPreview->pixels().width(), 640);
    EXPECT_EQ(log_.lastPreview->pixels().height(), 480);
    EXPECT_EQ(log_.lastPreview->imageOrientation(), ImageOrientation::Right);

    log_.takePicture(*camera_);
    log_.takePicture(*camera_);
    EXPECT_EQ(log_.answers, 0) << "answers come on a later turn of the loop";
    ASSERT_TRUE(runUntil(loop_, [&] { return log_.answers == 2; }));
    expectTestCameraPicture(log_.pictures[0]);
    expectTestCameraPicture(log_.pictures[1]);

    const int previews = log_.previews;
    ASSERT_TRUE(runUntil(loop_, [&] { return log_.previews >= previews + 3; }));
    log_.takePicture(*camera_);
    ASSERT_TRUE(runUntil(loop_, [&] { return log_.answers == 3; }));
    EXPECT_FALSE(samePixels(*log_.pictures[0], *log_.pictures[2])) << "the scene moves";
}

// Virtual time would jump past the first frame at once, were nothing awaited: pictures asked
// before it hold the loop's background mark until it comes.
TEST(TestCameraOnVirtualTime, PicturesAskedBeforeTheFirstFrameWaitForIt) {
    RunLoop loop(std::make_shared<platform::foundation::VirtualClock>());
    CameraLog log;
    auto camera = openCamera(loop, "test");
    log.start(*camera);
    log.takePicture(*camera);
    log.takePicture(*camera);
    EXPECT_EQ(loop.pendingBackgroundWork(), 1);
    loop.runFor(5.0);
    ASSERT_EQ(log.answers, 2);
    EXPECT_EQ(loop.pendingBackgroundWork(), 0);
    // The very first frame already shows the whole scene.
    expectTestCameraPicture(log.pictures[0]);
    expectTestCameraPicture(log.pictures[1]);
}

TEST_F(TestCamera, OrientationOptionOverridesTheTag) {
    camera_ = openCamera(loop_, "test", ImageOrientation::Left);
    log_.start(*camera_);
    log_.takePicture(*camera_);
    ASSERT_TRUE(runUntil(loop_, [&] { return log_.answers == 1 && log_.previews > 0; }));
    ASSERT_NE(log_.pictures[0], nullptr);
    EXPECT_EQ(log_.pictures[0]->imageOrientation(), ImageOrientation::Left);
    EXPECT_EQ(log_.lastPreview->imageOrientation(), ImageOrientation::Left);
}

TEST_F(TestCamera, StopSilencesTheCameraAndLetsItsFrameGoAndStartResumes) {
    ASSERT_NO_FATAL_FAILURE(startAndWaitForPreviews());
    camera_->stop();
    loop_.runFor(0.3);
    const int previews = log_.previews;
    const auto states = log_.states.size();
    loop_.runFor(0.3);
    EXPECT_EQ(log_.previews, previews);
    EXPECT_EQ(log_.states.size(), states);

    log_.takePicture(*camera_);
    ASSERT_TRUE(runUntil(
        loop_, [&] { return log_.answers == 1; }, 1.0));
    EXPECT_EQ(log_.pictures[0], nullptr) << "a stopped camera's last frame is not a picture";

    log_.start(*camera_);
    ASSERT_TRUE(runUntil(
        loop_, [&] { return log_.previews > previews && log_.reached(CameraState::Ready); }));
    log_.takePicture(*camera_);
    ASSERT_TRUE(runUntil(loop_, [&] { return log_.answers == 2; }));
    expectTestCameraPicture(log_.pictures[1]);

    // Nothing is called once the camera is destroyed.
    log_.takePicture(*camera_);
    camera_.reset();
    const auto reported = std::tuple(log_.previews, log_.states.size());
    loop_.runFor(0.3);
    EXPECT_EQ(log_.answers, 2);
    EXPECT_EQ(std::tuple(log_.previews, log_.states.size()), reported);
}

TEST(CameraFailure, AMissingDeviceIsNoCameraAndPicturesAreAnsweredWithNothing) {
    SystemLog::Capture system;
    RunLoop loop;
    CameraLog log;
    auto camera = openCamera(loop, "/dev/video99");
    log.start(*camera);
    log.takePicture(*camera);
    ASSERT_TRUE(runUntil(loop, [&] { return log.answers == 1; }));
    EXPECT_EQ(log.pictures[0], nullptr);
    EXPECT_EQ(camera->state(), CameraState::NoCamera);
    ASSERT_TRUE(runUntil(
        loop, [&] { return log.reached(CameraState::NoCamera); }, 1.0));
    EXPECT_NE(log.states.back().second.find("/dev/video99"), std::string::npos);
    EXPECT_TRUE(system.contains("No camera: " + log.states.back().second));
    EXPECT_FALSE(camera->hasFlash());

    // Known failure: later requests are answered at once, without a background mark.
    log.takePicture(*camera);
    EXPECT_EQ(loop.pendingBackgroundWork(), 0);
    loop.runFor(0);
    EXPECT_EQ(log.answers, 2);

    // An unplugged webcam comes back at its path: it is looked for again.
    ASSERT_TRUE(runUntil(
        loop, [&] { return system.count("Camera: /dev/video99") >= 2; }, 5.0));
    EXPECT_EQ(log.timesIn(CameraState::Loading), 1) << "the screen keeps saying why";
}

TEST(CameraFailure, UnusableOptionsFailAtOpenWithTheirCauseAndAreNotTriedAgain) {
    const std::pair<const char*, const char*> cases[] = {
        {"pipeline:nonsense !", "nonsense"},
        {"pipeline:fakesink", "could not link"},
        {"webcam", "unknown camera"},
    };
    for (const auto& [device, cause] : cases) {
        SCOPED_TRACE(device);
        SystemLog::Capture system;
        RunLoop loop(std::make_shared<platform::foundation::VirtualClock>());
        CameraLog log;
        auto camera = openCamera(loop, device);
        EXPECT_EQ(camera->state(), CameraState::Failed);
        log.start(*camera);
        log.takePicture(*camera);
        loop.runFor(0);
        ASSERT_EQ(log.states.size(), 1u);
        EXPECT_EQ(log.states[0].first, CameraState::Failed);
        EXPECT_NE(log.states[0].second.find(cause), std::string::npos) << log.states[0].second;
        EXPECT_TRUE(system.contains("Camera failed: " + log.states[0].second));
        ASSERT_EQ(log.answers, 1);
        EXPECT_EQ(log.pictures[0], nullptr);
        loop.runFor(600);
        EXPECT_EQ(system.count("Camera: " + camera->description()), 1);
    }
}

TEST(CameraFailure, AStreamThatIsNotVideoFailsOnceStarted) {
    SystemLog::Capture system;
    RunLoop loop;
    CameraLog log;
    auto camera = openCamera(loop, "pipeline:audiotestsrc");
    log.start(*camera);
    log.takePicture(*camera);
    ASSERT_TRUE(runUntil(loop, [&] { return log.reached(CameraState::Failed) && log.answers; }));
    EXPECT_EQ(log.pictures[0], nullptr);
    EXPECT_TRUE(system.contains("Camera failed: " + log.states.back().second));
}

// Previews fit the long side into 640 pixels without distortion or enlarging; a webcam's
// MJPEG frames are decoded, into the colours they show.
TEST(CameraFormats, PreviewsFitInto640PixelsAndJpegFramesAreDecoded) {
    struct Case {
        const char* device;
        int width, height;
    };
    for (const Case& c :
         {Case{"pipeline:videotestsrc ! video/x-raw,width=480,height=1280", 240, 640},
          Case{"pipeline:videotestsrc ! video/x-raw,width=1280,height=720", 640, 360},
          Case{"pipeline:videotestsrc ! video/x-raw,width=320,height=240 ! jpegenc", 320, 240}}) {
        SCOPED_TRACE(c.device);
        RunLoop loop;
        CameraLog log;
        auto camera = openCamera(loop, c.device);
        log.start(*camera);
        log.takePicture(*camera);
        ASSERT_TRUE(runUntil(loop, [&] { return log.previews > 0 && log.answers == 1; }));
        EXPECT_EQ(log.lastPreview->pixels().width(), c.width);
        EXPECT_EQ(log.lastPreview->pixels().height(), c.height);
        const auto& picture = log.pictures[0];
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->imageOrientation(), ImageOrientation::Up);
        // The colour bars: grey at the left, blue at the right.
        const int w = picture->pixels().width();
        const Rgb grey = rgbAt(*picture, w / 16, 60), blue = rgbAt(*picture, w * 15 / 16, 60);
        EXPECT_GT(grey.r, 150);
        EXPECT_NEAR(grey.r, grey.b, 20);
        EXPECT_GT(blue.b, 150);
        EXPECT_LT(blue.r + blue.g, 120);
    }
}

TEST(CameraChoice, AutoUsesAFoundDeviceOrElseTheTestCameraAndSaysWhich) {
    SystemLog::Capture system;
    RunLoop loop;
    auto camera = openCamera(loop, "auto");
    EXPECT_TRUE(system.contains("Camera: " + camera->description()));
    if (camera->description().starts_with("test camera")) {
        CameraLog log;
        log.start(*camera);
        log.takePicture(*camera);
        ASSERT_TRUE(runUntil(loop, [&] { return log.answers == 1; }));
        ASSERT_NE(log.pictures[0], nullptr);
        EXPECT_EQ(log.pictures[0]->imageOrientation(), ImageOrientation::Right);
    }
}

}  // namespace
