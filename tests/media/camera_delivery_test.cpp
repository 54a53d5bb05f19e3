#include <gtest/gtest.h>

#include <memory>

#include "platform/foundation/log.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/live_picture_view.h"
#include "platform/media/services.h"
#include "tests/media/camera_test_support.h"
#include "tests/support/scripted_camera_source.h"

namespace {

using namespace camera_test;
using platform::foundation::SystemLog;
using platform::foundation::VirtualClock;
using platform::media::ScriptedCameraSource;

// Frames every 30 ms keep the camera ready; when they stop it fails.
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
    ASSERT_TRUE(runUntil(
        loop, [&] { return frames == 40; }, 10.0));
    EXPECT_EQ(log.timesIn(CameraState::Failed), 0);
    ASSERT_TRUE(runUntil(
        loop, [&] { return log.reached(CameraState::Failed); }, 5.0));
    EXPECT_EQ(log.states.back().second, "nothing arrived for 0.5 seconds");
}

// The pictures a camera picker delivers to its delegate.
struct Delegate : platform::media::ImagePickerDelegate {
    std::vector<ImagePtr> pictures;
    void imagePickerControllerDidFinishPickingMediaWithInfo(
        platform::media::CameraPickerService&, const platform::media::MediaInfo& info) override {
        pictures.push_back(info.at(platform::media::kOriginalImageKey));
    }
    void imagePickerControllerDidCancel(platform::media::CameraPickerService&) override {}
};

// What the camera screen does with a camera that goes away during a time-lapse.
class CameraAway : public testing::Test {
  protected:
    void SetUp() override {
        camera_ = std::make_shared<ScriptedCameraSource>(RunLoop::main());
        world_ = std::make_unique<platform::media::Services>(platform::media::ServiceSettings{
            .clock = std::make_shared<VirtualClock>(),
            .cameraSource = camera_,
            .album = ::testing::TempDir() + "orvex-camera-away-album"});
        picker_ = std::make_shared<platform::media::CameraPickerService>();
        picker_->setSourceType(platform::media::SourceType::Camera);
        picker_->setDelegate(delegate_);
        live_ = std::dynamic_pointer_cast<platform::media::LivePictureView>(picker_->view());
    }
    void TearDown() override {
        picker_.reset();
        world_.reset();
    }

    SystemLog::Capture system_;
    std::shared_ptr<ScriptedCameraSource> camera_;
    std::unique_ptr<platform::media::Services> world_;
    std::shared_ptr<platform::media::CameraPickerService> picker_;
    std::shared_ptr<Delegate> delegate_ = std::make_shared<Delegate>();
    std::shared_ptr<platform::media::LivePictureView> live_;
};

TEST_F(CameraAway, ItsShotsAreMissedNotFakedAndItsFrameIsNotShown) {
    ASSERT_NE(live_, nullptr);
    camera_->deliverFrame(picture());
    RunLoop::main().runFor(0);
    ASSERT_NE(live_->cameraFrame(), nullptr);

    camera_->fail(CameraState::Failed, "unplugged");
    RunLoop::main().runFor(0);
    EXPECT_EQ(live_->cameraFrame(), nullptr);
    EXPECT_EQ(live_->statusText(), "No picture from scripted camera\nunplugged");
    picker_->takePicture();
    RunLoop::main().runFor(0);
    ASSERT_EQ(delegate_->pictures.size(), 1u);
    EXPECT_EQ(delegate_->pictures[0], nullptr);
    EXPECT_TRUE(system_.contains("missed photo: camera unavailable (unplugged)"));

    camera_->reconnect();
    const auto fresh = picture();
    camera_->deliverFrame(fresh);
    RunLoop::main().runFor(0);
    EXPECT_EQ(live_->cameraFrame(), fresh);
    picker_->takePicture();
    RunLoop::main().runFor(0);
    ASSERT_EQ(delegate_->pictures.size(), 2u);
    EXPECT_EQ(delegate_->pictures[1], fresh);
}

}  // namespace
