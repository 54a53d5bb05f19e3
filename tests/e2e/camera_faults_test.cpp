#include <gtest/gtest.h>

#include "run_orvex.h"

namespace e2e {
namespace {

// A log line that says exactly the message, however often.
int linesSaying(const std::string& log, const std::string& message) {
    return occurrences(log, "]: " + message + "\n");
}

class CameraFaultsTest : public OrvexTest {
  protected:
    // A camera that hung the screen would hang the test too: the run is ended after a minute.
    OrvexRun runWith(const std::string& options, const std::string& script) {
        return runOrvex("--headless " + options + " --album " + album.string(), script,
                        "timeout -k 5 60");
    }
};

// The camera opens but sends nothing: each shot is answered with no picture within a few
// seconds, also on a virtual clock, and the camera is then reported as failed.
TEST_F(CameraFaultsTest, ACameraThatSendsNothingNeverHoldsTheScreen) {
    const auto result =
        runWith("--virtual-clock --camera 'pipeline:videotestsrc ! identity drop-probability=1.0'",
                "wait 0.2\ntap 160 200\nwait 3\nstate\ntap 160 200\nwait 3\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_EQ(result.states().size(), 2u);
    for (const auto& s : result.states()) EXPECT_EQ(s["s"], 1);
    const std::string failed =
        "warning: Camera failed: nothing arrived within 5 seconds of starting";
    EXPECT_EQ(linesSaying(result.err, failed), 1) << result.err;
    EXPECT_TRUE(filesIn(album).empty());
}

// A pipeline that ends is opened again and again; a shot while it is away is missed, not
// the frozen last frame saved.
TEST_F(CameraFaultsTest, ACameraThatStopsGivesNoStalePictureAndIsOpenedAgain) {
    const auto result = runWith("--verbose --camera 'pipeline:videotestsrc num-buffers=30'",
                                "wait 2\ntap 160 200\nwait 4\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(filesIn(album).empty());
    const std::string missed =
        "warning: missed photo: camera unavailable (the camera stopped delivering pictures)";
    EXPECT_EQ(linesSaying(result.err, missed), 1) << result.err;
    EXPECT_GE(linesSaying(result.err, "Camera: pipeline videotestsrc num-buffers=30"), 3);
    EXPECT_GE(linesSaying(result.err, "Camera: pipeline videotestsrc num-buffers=30 is back"), 1);
    EXPECT_EQ(result.states().at(0)["s"], 1);
}

// libcamera, asked for its cameras at start-up, keeps its routine notes to itself.
TEST_F(CameraFaultsTest, CameraLookUpWritesNothingOfItsOwnToTheLog) {
    const auto result = runWith("--virtual-clock", "wait 0.1\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err.find("libcamera v"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(" INFO "), std::string::npos) << result.err;
}

}  // namespace
}  // namespace e2e
