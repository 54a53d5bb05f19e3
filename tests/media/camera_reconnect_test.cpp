#include "platform/media/reconnecting_camera_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/foundation/log.h"
#include "tests/media/camera_test_support.h"
#include "tests/support/scripted_camera_source.h"

namespace {

using namespace camera_test;
using platform::foundation::SystemLog;
using platform::foundation::VirtualClock;
using platform::media::ReconnectingCameraSource;
using platform::media::ScriptedCameraSource;

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
        log_.start(camera_);
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
    ReconnectingCameraSource camera_{loop_, cameras_.opener()};
    CameraLog log_;
};

TEST_F(Reconnecting, AFailedCameraIsOpenedAgainAfterGrowingPausesAndResumesWhenItDelivers) {
    loop_.runFor(60);
    EXPECT_EQ(cameras_.opened.size(), 1u) << "a working camera is left alone";

    fail();
    EXPECT_EQ(camera_.state(), CameraState::Failed);
    EXPECT_EQ(camera_.failure(), "unplugged");
    std::vector<double> pauses;
    for (int i = 0; i < 7; ++i) {
        pauses.push_back(cameras_.awaitReopening());
        // Each try loads, but the camera is not back: pictures get nothing, without a wait.
        log_.takePicture(camera_);
        EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
        fail(CameraState::NoCamera, "no such device");
    }
    EXPECT_EQ(log_.answers, 7);
    EXPECT_EQ(std::count(log_.pictures.begin(), log_.pictures.end(), nullptr), 7);
    EXPECT_NEAR(pauses[0], 1.0, 1e-6);
    EXPECT_NEAR(pauses[1], 2.0, 1e-6);
    EXPECT_NEAR(pauses[2], 4.0, 1e-6);
    EXPECT_NEAR(pauses[6], 30.0, 1e-6) << "at most half a minute";
    EXPECT_EQ(log_.timesIn(CameraState::Loading), 1) << "the tries do not flash 'Starting'";
    EXPECT_EQ(log_.states.back(),
              std::make_pair(CameraState::NoCamera, std::string("no such device")));

    cameras_.awaitReopening();
    const auto fresh = picture();
    cameras_.newest().deliverFrame(fresh);
    loop_.runFor(0);
    EXPECT_TRUE(log_.reached(CameraState::Ready));
    EXPECT_EQ(camera_.state(), CameraState::Ready);
    EXPECT_EQ(camera_.failure(), "");
    EXPECT_EQ(log_.lastPreview, fresh);
    EXPECT_TRUE(system_.contains("Camera: scripted camera is back"));
    log_.takePicture(camera_);
    loop_.runFor(0);
    ASSERT_EQ(log_.answers, 8);
    EXPECT_EQ(log_.pictures[7], fresh);
}

TEST_F(Reconnecting, ThePauseStartsAgainOnlyOnceTheCameraHasDeliveredForAWhile) {
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
}

TEST(ReconnectingCamera, NothingRunsOnceItIsDestroyed) {
    RunLoop loop(std::make_shared<VirtualClock>());
    ScriptedCameras cameras{loop};
    CameraLog log;
    auto camera = std::make_unique<ReconnectingCameraSource>(loop, cameras.opener());
    log.start(*camera);
    cameras.newest().fail(CameraState::Failed, "unplugged");
    loop.runFor(0);
    log.takePicture(*camera);
    const auto states = log.states.size();
    camera.reset();
    loop.runFor(60);
    EXPECT_EQ(cameras.opened.size(), 1u);
    EXPECT_EQ(log.states.size(), states);
    EXPECT_EQ(log.answers, 0);
}

}  // namespace
