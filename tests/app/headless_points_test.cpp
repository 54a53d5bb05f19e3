#include <gtest/gtest.h>

#include <sstream>

#include "app/headless_driver.h"
#include "tests/capture/capture_fixture.h"

namespace app {
namespace {

using HeadlessPointsTest = capture::testing::CaptureScreenTest;

// The screen is 320 × 480 points: x = 320 and y = 480 lie just past its edges, where no
// finger can touch.
TEST_F(HeadlessPointsTest, TouchesJustPastTheScreensEdgesAreRefused) {
    auto errorsOf = [&](const std::string& script) {
        std::ostringstream out, errors;
        HeadlessDriver driver(*application, out, errors, nullptr);
        std::istringstream in(script);
        driver.run(in);
        return errors.str();
    };
    EXPECT_EQ(errorsOf("tap 319.9 479.9\ntap 0 0\n"), "");
    for (const char* offScreen : {"tap 320 100\n", "tap 100 480\n", "drag 10 10 320 10\n"})
        EXPECT_NE(errorsOf(offScreen).find("off the 320 × 480 screen"), std::string::npos)
            << offScreen;
}

}  // namespace
}  // namespace app
