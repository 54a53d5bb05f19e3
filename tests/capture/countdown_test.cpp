#include "capture_fixture.h"

namespace capture::testing {
namespace {

TEST(CountdownTextTest, MinutesAndSecondsTwoDigitsEach) {
    EXPECT_EQ(OrvexViewController::countdownText(900), "15:00");
    EXPECT_EQ(OrvexViewController::countdownText(300), "05:00");
    EXPECT_EQ(OrvexViewController::countdownText(65), "01:05");
    EXPECT_EQ(OrvexViewController::countdownText(30), "00:30");
    EXPECT_EQ(OrvexViewController::countdownText(3), "00:03");
    EXPECT_EQ(OrvexViewController::countdownText(0), "00:00");
}

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
    wait(1.0);
    EXPECT_EQ(shown(), "00:02");
    EXPECT_EQ(plays(c.beep), 1);
    wait(1.0);
    EXPECT_EQ(shown(), "00:01");
    wait(1.0);
    EXPECT_EQ(shown(), "00:00");
    EXPECT_EQ(plays(c.beep), 2);
    EXPECT_EQ(c.timer, nullptr);
    EXPECT_FALSE(displayOn());
    EXPECT_TRUE(c.tabBar->isUserInteractionEnabled());  // at once, while the shot is under way
    wait(5.0);
    EXPECT_EQ(albumPictures().size(), 1u);
    EXPECT_EQ(camera->takePictureCalls(), 1);
}

TEST_F(CountdownTest, FiveSecondTimerChosenOnTheSidebarBeepsThreeTimes) {
    selectTab(2);
    tap(40, 218);   // open the sidebar
    tap(56, 243);   // timer2, "5s"
    tap(250, 200);  // closes the sidebar and starts the countdown
    EXPECT_EQ(shown(), "00:05");
    wait(6.0);
    EXPECT_EQ(plays(screen().beep), 3);
    EXPECT_EQ(screen().timer, nullptr);
    EXPECT_EQ(camera->takePictureCalls(), 1);
}

TEST_F(CountdownTest, TimerLoopShootsAtEveryZeroUntilATouch) {
    auto& c = screen();
    selectTab(3);
    tap(160, 200);
    EXPECT_EQ(shown(), "00:15");
    wait(1.0);
    EXPECT_EQ(shown(), "00:14");
    wait(14.0);
    EXPECT_EQ(camera->takePictureCalls(), 1);
    wait(1.0);
    EXPECT_EQ(shown(), "00:14");
    EXPECT_TRUE(displayOn());  // back on the overlay after the shot's restore
    wait(31.0);
    EXPECT_EQ(camera->takePictureCalls(), 3);
    EXPECT_NE(c.timer, nullptr);
    tap(160, 200);  // stops it, never shoots
    EXPECT_EQ(c.timer, nullptr);
    EXPECT_FALSE(displayOn());
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
    ASSERT_TRUE(c.tabBar->isUserInteractionEnabled());
    selectTab(4);  // the album opens; the countdown goes on
    ASSERT_EQ(c.modalViewController(), c.pickerP);
    ASSERT_NE(c.timer, nullptr);
    wait(14.0);  // the next zero
    wait(2.0);
    EXPECT_EQ(camera->takePictureCalls(), 2);
    EXPECT_EQ(albumPictures().size(), 2u);
    EXPECT_EQ(c.pickerP->modalViewController(), nullptr);
    EXPECT_EQ(c.preview->activityIndicator, nullptr);
    EXPECT_EQ(c.s, 1);
}

TEST_F(CountdownTest, TouchOnTheTabBarStripRestartsTheTimerLengthButNeverStartsOrCancels) {
    auto& c = screen();
    selectTab(2);
    tap(160, 200);
    wait(2.0);
    EXPECT_EQ(c.nTimer, 1);
    // The tab bar is switched off during the countdown, so the strip's touch reaches the
    // screen: y = 425.0 exactly belongs to the strip.
    tap(160, 425.0f);
    EXPECT_NE(c.timer, nullptr);
    EXPECT_EQ(c.nTimer, 3);
    EXPECT_EQ(c.loop, 3);
    wait(1.0);
    EXPECT_EQ(shown(), "00:02");
}

TEST_F(CountdownTest, TwoTouchesNeverStartTwoTimers) {
    auto& c = screen();
    selectTab(2);
    tap(160, 200);
    auto first = c.timer;
    tap(160, 200);
    EXPECT_EQ(c.timer, nullptr);
    EXPECT_FALSE(first->isValid());
    EXPECT_TRUE(c.tabBar->isUserInteractionEnabled());
    wait(10.0);
    EXPECT_EQ(camera->takePictureCalls(), 0);
}

TEST_F(CountdownTest, TouchWithTheSidebarOpenClosesItAndStillStarts) {
    auto& c = screen();
    selectTab(2);
    tap(40, 218);
    ASSERT_GT(c.side->center().x, 50.0f);
    tap(250, 200);
    EXPECT_LT(c.side->center().x, 50.0f);
    EXPECT_NE(c.timer, nullptr);
}

TEST_F(CountdownTest, LibraryTouchesOnlyLog) {
    auto& c = screen();
    selectTab(4);
    c.pickerP->dismissModalViewControllerAnimated(false);  // reveal the picture, stay in Library
    const auto logged = log.lines().size();
    tap(160, 200);
    EXPECT_EQ(log.lines().size(), logged + 1);
    EXPECT_EQ(log.lines().back(), "0 loop");
    EXPECT_TRUE(c.tabBar->isUserInteractionEnabled());
    EXPECT_EQ(c.timer, nullptr);
}

}  // namespace
}  // namespace capture::testing
