#include "platform/media/scripted_camera_source.h"

#include <gtest/gtest.h>

#include "platform/foundation/log.h"
#include "tests/media/camera_test_support.h"

namespace {

using namespace camera_test;
using platform::foundation::SystemLog;
using platform::graphics::Image;
using platform::graphics::ImageOrientation;
using platform::graphics::PixelBuffer;
using platform::media::ScriptedCameraSource;

ImagePtr frame(int width, int height) {
    return std::make_shared<const Image>(
        std::make_shared<PixelBuffer>(width, height, PixelBuffer::Format::Rgb24),
        ImageOrientation::Right, 1.0f);
}

class ScriptedCamera : public testing::Test {
  protected:
    void drain() { loop_.runFor(0); }

    RunLoop loop_;
    ScriptedCameraSource camera_{loop_};
    CameraLog log_;
};

TEST_F(ScriptedCamera, HandlersRunOnLaterTurnsOfTheLoop) {
    log_.start(camera_);
    EXPECT_TRUE(log_.states.empty());
    drain();
    ASSERT_EQ(log_.states.size(), 1u);
    EXPECT_EQ(log_.states[0], std::make_pair(CameraState::Loading, std::string("scripted camera")));

    const auto picture = frame(40, 30);
    const auto preview = frame(4, 3);
    camera_.deliverFrame(picture, preview);
    EXPECT_EQ(log_.previews, 0);
    drain();
    EXPECT_EQ(log_.lastPreview, preview);
    EXPECT_TRUE(log_.reached(CameraState::Ready));
    EXPECT_EQ(log_.states.size(), 2u);

    camera_.deliverFrame(frame(40, 30));
    drain();
    EXPECT_EQ(log_.previews, 2);
    EXPECT_EQ(log_.states.size(), 2u) << "ready is announced once";
}

TEST_F(ScriptedCamera, RequestsBeforeTheFirstFrameWaitUnderABackgroundMark) {
    log_.start(camera_);
    log_.takePicture(camera_);
    log_.takePicture(camera_);
    drain();
    EXPECT_EQ(log_.answers, 0);
    EXPECT_EQ(loop_.pendingBackgroundWork(), 1);

    const auto picture = frame(40, 30);
    camera_.deliverFrame(picture);
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
    drain();
    ASSERT_EQ(log_.answers, 2);
    EXPECT_EQ(log_.pictures[0], picture);
    EXPECT_EQ(log_.pictures[1], picture);
    EXPECT_EQ(camera_.takePictureCalls(), 2);
}

TEST_F(ScriptedCamera, RequestsAfterFramesGetTheNewestOneExactlyOnce) {
    log_.start(camera_);
    camera_.deliverFrame(frame(40, 30));
    const auto newest = frame(40, 30);
    camera_.deliverFrame(newest);
    log_.takePicture(camera_);
    EXPECT_EQ(log_.answers, 0);
    drain();
    drain();
    ASSERT_EQ(log_.answers, 1);
    EXPECT_EQ(log_.pictures[0], newest);
}

TEST_F(ScriptedCamera, AFailureAnswersWaitingRequestsWithNothingAndIsLoggedOnce) {
    SystemLog::Capture system;
    log_.start(camera_);
    log_.takePicture(camera_);
    camera_.fail(CameraState::Failed, "unplugged");
    camera_.fail(CameraState::NoCamera, "second opinion");
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
    drain();
    ASSERT_EQ(log_.answers, 1);
    EXPECT_EQ(log_.pictures[0], nullptr);
    EXPECT_EQ(log_.states.back(), std::make_pair(CameraState::Failed, std::string("unplugged")));
    EXPECT_EQ(system.count("Camera failed: unplugged"), 1);
    EXPECT_FALSE(system.contains("No camera: second opinion"));

    camera_.deliverFrame(frame(40, 30));
    log_.takePicture(camera_);
    drain();
    EXPECT_EQ(log_.answers, 2);
    EXPECT_EQ(log_.pictures[1], nullptr) << "a failed camera delivers no more frames";
}

TEST_F(ScriptedCamera, AFailureAfterFramesStillAnswersWithTheNewestFrame) {
    log_.start(camera_);
    const auto newest = frame(40, 30);
    camera_.deliverFrame(newest);
    camera_.fail(CameraState::Failed, "unplugged");
    log_.takePicture(camera_);
    drain();
    ASSERT_EQ(log_.answers, 1);
    EXPECT_EQ(log_.pictures[0], newest);
}

TEST_F(ScriptedCamera, NoCameraIsLoggedAsSuch) {
    SystemLog::Capture system;
    camera_.fail(CameraState::NoCamera, "nothing at /dev/video7");
    log_.start(camera_);
    drain();
    EXPECT_EQ(log_.states.back(),
              std::make_pair(CameraState::NoCamera, std::string("nothing at /dev/video7")));
    EXPECT_TRUE(system.contains("No camera: nothing at /dev/video7"));
}

TEST_F(ScriptedCamera, StopAnswersWaitingRequestsAndSilencesHandlers) {
    log_.start(camera_);
    drain();
    log_.takePicture(camera_);
    camera_.stop();
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
    camera_.deliverFrame(frame(40, 30));
    log_.takePicture(camera_);
    drain();
    ASSERT_EQ(log_.answers, 2);
    EXPECT_EQ(log_.pictures[0], nullptr);
    EXPECT_EQ(log_.pictures[1], nullptr);
    EXPECT_EQ(log_.previews, 0);
    EXPECT_EQ(log_.states.size(), 1u);
}

TEST_F(ScriptedCamera, ARestartedCameraLoadsUntilItsNextFrame) {
    log_.start(camera_);
    camera_.deliverFrame(frame(40, 30));
    camera_.stop();
    log_.start(camera_);
    drain();
    EXPECT_TRUE(log_.reached(CameraState::Loading));
    camera_.deliverFrame(frame(40, 30));
    drain();
    EXPECT_TRUE(log_.reached(CameraState::Ready));
}

TEST(ScriptedCameraLifetime, NothingIsCalledOnceTheCameraIsDestroyed) {
    RunLoop loop;
    CameraLog log;
    {
        ScriptedCameraSource camera(loop);
        log.start(camera);
        camera.deliverFrame(frame(40, 30));
        log.takePicture(camera);
        log.takePicture(camera);
    }
    loop.runFor(0);
    EXPECT_EQ(log.answers, 0);
    EXPECT_EQ(log.previews, 0);
    EXPECT_TRUE(log.states.empty());
}

TEST(ScriptedCameraLifetime, DestroyingAWaitingCameraReleasesItsBackgroundMark) {
    RunLoop loop;
    CameraLog log;
    {
        ScriptedCameraSource camera(loop, "front", false);
        EXPECT_FALSE(camera.hasFlash());
        EXPECT_EQ(camera.description(), "front");
        log.start(camera);
        log.takePicture(camera);
        EXPECT_EQ(loop.pendingBackgroundWork(), 1);
    }
    EXPECT_EQ(loop.pendingBackgroundWork(), 0);
}

}  // namespace
