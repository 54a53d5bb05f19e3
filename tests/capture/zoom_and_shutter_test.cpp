#include "capture_fixture.h"

namespace capture::testing {
namespace {

using platform::foundation::AffineTransform;
using platform::foundation::Size;

class ZoomTest : public CaptureScreenTest {
  protected:
    void SetUp() override {
        CaptureScreenTest::SetUp();
        becomeReady();
        selectTab(1);  // Zoom: the slider shows
        // A transform of the camera's own, to see that only scaling ever touches it.
        screen().picker->setCameraViewTransform({1.0f, 0.5f, -0.25f, 2.0f, 3.0f, 4.0f});
    }
    AffineTransform transform() { return screen().picker->cameraViewTransform(); }
};

TEST_F(ZoomTest, SliderScalesTheLinearPartOnlyAndResetReturnsToOne) {
    const auto atOne = transform();
    screen().bSlider->slideTo(8.0f);
    EXPECT_EQ(transform(), (AffineTransform{8.0f, 4.0f, -2.0f, 16.0f, 3.0f, 4.0f}));
    EXPECT_EQ(screen().value, 8.0f);
    screen().bSlider->slideTo(2.0f);
    screen().bSlider->slideTo(4.0f);
    EXPECT_EQ(transform(), (AffineTransform{4.0f, 2.0f, -1.0f, 8.0f, 3.0f, 4.0f}));

    screen().zoomReset();
    const auto once = transform();
    screen().zoomReset();
    EXPECT_EQ(transform(), once);
    EXPECT_NEAR(once.a, atOne.a, 1e-6f);
    EXPECT_NEAR(once.d, atOne.d, 1e-6f);
    EXPECT_EQ(screen().value, 1.0f);
    EXPECT_EQ(screen().bSlider->value(), 1.0f);
}

class ShutterTest : public CaptureScreenTest {};

TEST_F(ShutterTest, FirstCallOnlyRestoresAndEveryRestoreLeavesOneOverlayOnTop) {
    becomeReady();
    EXPECT_EQ(camera->takePictureCalls(), 0);
    EXPECT_EQ(screen().s, 1);
    for (int i = 0; i < 2; ++i) {
        screen().s = 0;
        screen().getPhoto();
    }
    const auto& live = screen().view();
    EXPECT_EQ(std::count(live->subviews().begin(), live->subviews().end(), screen().main), 1);
    EXPECT_EQ(live->subviews().back(), screen().main);
    EXPECT_EQ(application->window().subviews().size(), 1u);
}

TEST_F(ShutterTest, OneTouchOneShotAndReadyOneSecondAfterTheAlbumsCompletion) {
    becomeReady();
    tap(160, 200);
    EXPECT_EQ(screen().s, 0);
    EXPECT_NE(screen().activityIndicator, nullptr);
    EXPECT_FALSE(screen().tabBar->isUserInteractionEnabled());
    tap(160, 200);  // under way: does not shoot
    wait(0.0);      // the picture arrives and the album completes; time has not moved
    EXPECT_EQ(screen().savesReported(), 1);
    wait(0.99);
    EXPECT_EQ(screen().s, 0);
    wait(0.02);
    EXPECT_EQ(screen().s, 1);
    EXPECT_EQ(screen().activityIndicator, nullptr);
    EXPECT_TRUE(screen().tabBar->isUserInteractionEnabled());
    EXPECT_EQ(camera->takePictureCalls(), 1);
    ASSERT_EQ(albumPictures().size(), 1u);
    EXPECT_EQ(albumPictureSize(0), (Size{1536, 2048}));
}

TEST_F(ShutterTest, RestorePutsTheCountdownDisplayBackOnlyWhileATimerExists) {
    becomeReady();
    auto& c = screen();
    c.addActivityIndicator();
    c.removeActivityIndicator();
    EXPECT_EQ(c.timeRemain->superview(), nullptr);
    c.timer = loop().scheduleTimer(100.0, false, [](platform::foundation::Timer&) {});
    c.addActivityIndicator();
    EXPECT_EQ(c.timeRemain->superview(), nullptr);
    c.removeActivityIndicator();
    ASSERT_EQ(c.timeRemain->superview(), c.main);
    const auto& on = c.main->subviews();
    EXPECT_EQ(on[on.size() - 2], c.imageView);
    EXPECT_EQ(on.back(), c.timeRemain);
    c.timer->invalidate();
    c.timer = nullptr;
}

TEST_F(ShutterTest, AbsentPicturesAndLibraryPicksAreNeverSaved) {
    becomeReady();
    screen().cropImage(nullptr);  // reported as a failed save, nothing written
    wait(0.0);
    EXPECT_EQ(screen().savesReported(), 1);
    EXPECT_TRUE(albumPictures().empty());

    screen().tabBar->setSelectedItem(screen().tabBar->items()[4]);
    platform::media::MediaInfo info{{platform::media::kOriginalImageKey, cameraPicture(64, 48)}};
    screen().imagePickerControllerDidFinishPickingMediaWithInfo(*screen().pickerP, info);
    wait(0.5);
    EXPECT_EQ(screen().savesReported(), 1);
    EXPECT_TRUE(albumPictures().empty());
}

TEST_F(ShutterTest, CameraFailureIsShownAndTheScreenStillAnswersTouches) {
    wait(0.2);
    camera->fail(platform::media::CameraState::Failed, "device unplugged");
    wait(0.0);
    auto live = std::dynamic_pointer_cast<platform::media::LivePictureView>(screen().view());
    ASSERT_NE(live, nullptr);
    EXPECT_NE(live->statusText().find("device unplugged"), std::string::npos);
    tap(160, 200);
    wait(1.5);
    // The camera answered with no picture: the album reported an error, the screen is ready.
    EXPECT_EQ(screen().s, 1);
    EXPECT_TRUE(screen().tabBar->isUserInteractionEnabled());
    selectTab(2);
    EXPECT_EQ(screen().selectedTag(), 3);
}

}  // namespace
}  // namespace capture::testing
