#include "capture_fixture.h"

namespace capture::testing {
namespace {

class TimerLoopTest : public CaptureScreenTest {
  protected:
    void SetUp() override {
        CaptureScreenTest::SetUp();
        becomeReady();
        selectTab(3);
    }
    std::string shown() { return screen().timeRemain->text(); }
    bool countdownShown() { return screen().timeRemain->superview() == screen().main; }
};

// The longest time-lapse length, the sidebar's last button: a photograph every 15 minutes.
TEST_F(TimerLoopTest, TheLastLengthOnTheSidebarShootsEveryFifteenMinutes) {
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
// back once the camera is ready again.
TEST_F(TimerLoopTest, TheCountdownMakesWayForTheSpinnerDuringAShot) {
    tap(160, 200);
    ASSERT_TRUE(countdownShown());
    wait(15.0);
    ASSERT_EQ(camera->takePictureCalls(), 1);
    ASSERT_NE(screen().activityIndicator, nullptr);
    EXPECT_EQ(screen().activityIndicator->superview(), screen().view());
    EXPECT_FALSE(countdownShown());
    EXPECT_EQ(screen().imageView->superview(), nullptr);
    wait(2.0);
    EXPECT_TRUE(countdownShown());
    EXPECT_EQ(screen().activityIndicator, nullptr);
}

}  // namespace
}  // namespace capture::testing
