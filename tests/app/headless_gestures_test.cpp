#include <gtest/gtest.h>

#include <sstream>

#include "app/headless_driver.h"
#include "app/screen_state.h"
#include "tests/capture/capture_fixture.h"

namespace app {
namespace {

using platform::foundation::Point;

// Headless scripts run against the whole application on the virtual clock.
class HeadlessPointsTest : public capture::testing::CaptureScreenTest {
  protected:
    // Runs the script; gives what it wrote as errors.
    std::string run(const std::string& script) {
        std::ostringstream out, errors;
        HeadlessDriver driver(*application, out, errors, nullptr);
        std::istringstream in(script);
        driver.run(in);
        return errors.str();
    }
};

// The screen is 320 × 480 points: x = 320 and y = 480 lie just past its edges, where no
// finger can touch.
TEST_F(HeadlessPointsTest, TouchesJustPastTheScreensEdgesAreRefused) {
    EXPECT_EQ(run("tap 319.9 479.9\ntap 0 0\n"), "");
    for (const char* offScreen : {"tap 320 100\n", "tap 100 480\n", "drag 10 10 320 10\n"})
        EXPECT_NE(run(offScreen).find("off the 320 × 480 screen"), std::string::npos) << offScreen;
}

// The gesture commands on a library picture in the preview.
class HeadlessGesturesTest : public HeadlessPointsTest {
  protected:
    void SetUp() override {
        CaptureScreenTest::SetUp();
        becomeReady();
        selectTab(4);
        screen().pickerP->pickImage(
            capture::testing::cameraPicture(800, 600, platform::graphics::ImageOrientation::Up));
        wait(0.3);
        ASSERT_EQ(topScreen(*application), "preview");
    }
    platform::ui::ScrollView& scroll() { return *screen().preview->scrollView; }
    // The picture's point under a screen point.
    Point pictureUnder(Point onScreen) {
        return screen().preview->imageView->convertFromWindow(onScreen);
    }
};

TEST_F(HeadlessGesturesTest, PinchDragWheelAndKeysMoveThePictureAsAFingerWould) {
    const float whole = scroll().minimumZoomScale();
    ASSERT_EQ(scroll().zoomScale(), whole);
    const Point under = pictureUnder({160, 262});

    EXPECT_EQ(run("pinch 160 262 2\n"), "");
    EXPECT_NEAR(scroll().zoomScale(), 2 * whole, 1e-5);
    EXPECT_NEAR(pictureUnder({160, 262}).x, under.x, 0.1f);
    EXPECT_NEAR(pictureUnder({160, 262}).y, under.y, 0.1f);

    const Point before = scroll().contentOffset();
    EXPECT_EQ(run("drag 160 400 150 300\n"), "");
    EXPECT_NEAR(scroll().contentOffset().x, before.x + 10, 0.01f);
    EXPECT_NEAR(scroll().contentOffset().y, before.y + 100, 0.01f);
    EXPECT_FALSE(scroll().isTracking());

    EXPECT_EQ(run("wheel 160 300 -1\n"), "");
    EXPECT_NEAR(scroll().contentOffset().y, before.y + 140, 0.01f);

    EXPECT_EQ(run("key plus\nwheel 100 100 1 ctrl\nkey Home\n"), "");
    EXPECT_NEAR(scroll().zoomScale(), std::min(1.0f, 2.5f * whole * 1.25f), 1e-5);
    EXPECT_EQ(scroll().contentOffset().y, 0);

    // Pulled past the top, the picture settles back while the script waits.
    run("drag 160 100 160 300\n");
    EXPECT_NEAR(scroll().contentOffset().y, -100, 0.01f);
    run("wait 0.3\n");
    EXPECT_EQ(scroll().contentOffset().y, 0);
}

TEST_F(HeadlessGesturesTest, EscapeAndDigitsDoWhatTheWindowsKeysDo) {
    EXPECT_EQ(run("key escape\n"), "");
    EXPECT_EQ(topScreen(*application), "library");
    EXPECT_EQ(run("key Escape\nwait 1\nkey 2\n"), "");
    EXPECT_EQ(topScreen(*application), "capture");
    EXPECT_EQ(screen().selectedTag(), 2);
}

TEST_F(HeadlessGesturesTest, MalformedGesturesAreReportedByLineAndTheScriptGoesOn) {
    const std::string errors =
        run("drag 160 400 160 900\n"
            "drag 1 2 3\n"
            "pinch 160 200 0\n"
            "wheel 160 200 1 shift\n"
            "key F1\n"
            "wheel 160 200 -1\n");
    std::istringstream lines(errors);
    std::vector<std::string> reported;
    for (std::string line; std::getline(lines, line);) reported.push_back(line);
    ASSERT_EQ(reported.size(), 5u) << errors;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(reported[i].starts_with("orvex: line " + std::to_string(i + 1) + ": "))
            << reported[i];
    EXPECT_NE(reported[0].find("off the 320 × 480 screen"), std::string::npos);
    EXPECT_NE(reported[4].find("PageDown"), std::string::npos);  // it names the known keys
    EXPECT_EQ(scroll().zoomScale(), scroll().minimumZoomScale());
}

}  // namespace
}  // namespace app
