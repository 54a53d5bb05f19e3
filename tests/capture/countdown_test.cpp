#include "capture_fixture.h"

namespace capture::testing {
namespace {

class CountdownTest : public CaptureScreenTest {
  protected:
    void SetUp() override {
        CaptureScreenTest::SetUp();
        becomeReady();
    }
    std::string shown() { return screen().timeRemain->text(); }
    bool displayOn() { return screen().timeRemain->superview() == screen().main; }
};

TEST_F(CountdownTest, ThreeSecondTimerBeepsTwiceShootsOnceAndEnds) {
    auto& c = screen();
    selectTab(2);
    tap(160, 200);
    EXPECT_EQ(shown(), "00:03");
    EXPECT_TRUE(displayOn());
    EXPECT_FALSE(c.tabBar->isUserInteractionEnabled());
    wait(3.0);
    EXPECT_EQ(shown(), "00:00");
    EXPECT_EQ(c.beep->playCount(), 2);
    EXPECT_EQ(c.timer, nullptr);
    EXPECT_TRUE(c.tabBar->isUserInteractionEnabled());  // at once, while the shot is under way
    wait(5.0);
    // Taken off at zero, and not put back when the camera is ready again: no timer runs.
    EXPECT_FALSE(displayOn());
    EXPECT_EQ(albumPictures().size(), 1u);
    EXPECT_EQ(camera->takePictureCalls(), 1);
}

TEST_F(CountdownTest, FiveSecondTimerChosenOnTheSidebarBeepsThreeTimes) {
    selectTab(2);
    tap(40, 218);  // open the sidebar
    ASSERT_TRUE(sidebarOpen());
    tap(56, 243);   // timer2, "5s"
    tap(250, 200);  // closes the sidebar and still starts the countdown
    EXPECT_FALSE(sidebarOpen());
    EXPECT_EQ(shown(), "00:05");
    wait(6.0);
    EXPECT_EQ(screen().beep->playCount(), 3);
    EXPECT_EQ(camera->takePictureCalls(), 1);
}

// The longest time-lapse length, the sidebar's last button: a photograph every 15 minutes.
TEST_F(CountdownTest, TheLastLoopLengthOnTheSidebarShootsEveryFifteenMinutes) {
    selectTab(3);
    tap(40, 218);   // opens the sidebar
    tap(56, 369);   // its fifth countdown button
    tap(250, 200);  // closes the sidebar and starts
    EXPECT_EQ(shown(), "15:00");
    wait(899.0);
    EXPECT_EQ(camera->takePictureCalls(), 0);
    wait(1.0);
    EXPECT_EQ(camera->takePictureCalls(), 1);
}

// While a shot is under way the spinner shows instead of the countdown; the countdown comes
// back, started over, once the camera is ready again. A touch stops the loop.
TEST_F(CountdownTest, TimerLoopShootsAtEveryZeroUntilATouch) {
    auto& c = screen();
    selectTab(3);
    tap(160, 200);
    EXPECT_EQ(shown(), "00:15");
    wait(15.0);
    EXPECT_EQ(camera->takePictureCalls(), 1);
    ASSERT_NE(c.activityIndicator, nullptr);
    EXPECT_EQ(c.activityIndicator->superview(), c.view());
    EXPECT_FALSE(displayOn());
    EXPECT_EQ(c.imageView->superview(), nullptr);
    wait(1.0);
    EXPECT_EQ(shown(), "00:14");
    EXPECT_EQ(c.activityIndicator, nullptr);
    const auto& on = c.main->subviews();  // the time on top of its backing picture
    EXPECT_EQ(on.back(), c.timeRemain);
    EXPECT_EQ(on[on.size() - 2], c.imageView);
    wait(31.0);
    EXPECT_EQ(camera->takePictureCalls(), 3);
    tap(160, 200);  // stops it, never shoots
    EXPECT_EQ(c.timer, nullptr);
    EXPECT_FALSE(displayOn());
    EXPECT_TRUE(c.tabBar->isUserInteractionEnabled());
    wait(60.0);
    EXPECT_EQ(camera->takePictureCalls(), 3);
    EXPECT_EQ(albumPictures().size(), 3u);
}

TEST_F(CountdownTest, TimeLapseShotWhileInTheAlbumIsSavedAndLeavesThePreviewAlone) {
    auto& c = screen();
    selectTab(3);
    tap(160, 200);
    wait(15.0 + 2.0);  // the first shot is saved and the screen is ready again
    ASSERT_EQ(albumPictures().size(), 1u);
    selectTab(4);  // the album opens; the countdown goes on
    ASSERT_EQ(c.modalViewController(), c.pickerP);
    wait(14.0 + 2.0);  // the next zero, and its save
    EXPECT_EQ(albumPictures().size(), 2u);
    EXPECT_EQ(c.pickerP->modalViewController(), nullptr);
    EXPECT_EQ(c.preview->activityIndicator, nullptr);
    EXPECT_EQ(c.s, 1);
}

// The tab bar is switched off during the countdown, so a touch on its strip (y = 425 exactly
// belongs to it) reaches the screen: it restarts the length, never starts or cancels.
TEST_F(CountdownTest, TouchOnTheTabBarStripRestartsTheCountdown) {
    selectTab(2);
    tap(160, 200);
    wait(2.0);
    tap(160, 425.0f);
    EXPECT_NE(screen().timer, nullptr);
    wait(1.0);
    EXPECT_EQ(shown(), "00:02");
}

TEST_F(CountdownTest, TouchesInLibraryModeNeitherCountNorShoot) {
    selectTab(4);
    screen().pickerP->dismissModalViewControllerAnimated(false);  // reveal the picture
    tap(160, 200);
    EXPECT_TRUE(screen().tabBar->isUserInteractionEnabled());
    EXPECT_EQ(screen().timer, nullptr);
    wait(20.0);
    EXPECT_EQ(camera->takePictureCalls(), 0);
}

}  // namespace
}  // namespace capture::testing
