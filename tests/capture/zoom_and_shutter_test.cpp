#include "capture_fixture.h"

namespace capture::testing {
namespace {

using platform::foundation::AffineTransform;
using platform::foundation::Size;

using ZoomTest = CaptureScreenTest;
using ShutterTest = CaptureScreenTest;

TEST_F(ZoomTest, SliderScalesTheLinearPartOnlyAndResetReturnsToOne) {
    becomeReady();
    selectTab(1);  // Zoom: the slider shows
    auto& picker = *screen().picker;
    // A transform of the camera's own, to see that only scaling ever touches it.
    picker.setCameraViewTransform({1.0f, 0.5f, -0.25f, 2.0f, 3.0f, 4.0f});
    screen().bSlider->slideTo(8.0f);
    EXPECT_EQ(picker.cameraViewTransform(),
              (AffineTransform{8.0f, 4.0f, -2.0f, 16.0f, 3.0f, 4.0f}));
    screen().bSlider->slideTo(2.0f);
    screen().bSlider->slideTo(4.0f);
    EXPECT_EQ(picker.cameraViewTransform(), (AffineTransform{4.0f, 2.0f, -1.0f, 8.0f, 3.0f, 4.0f}));

    screen().zoomReset();
    screen().zoomReset();  // a second reset changes nothing
    EXPECT_NEAR(picker.cameraViewTransform().a, 1.0f, 1e-6f);
    EXPECT_NEAR(picker.cameraViewTransform().d, 2.0f, 1e-6f);
}

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

TEST_F(ShutterTest, AnAbsentPictureIsReportedAsAFailedSaveAndNothingIsWritten) {
    becomeReady();
    screen().cropImage(nullptr);
    wait(0.0);
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
}

}  // namespace
}  // namespace capture::testing
