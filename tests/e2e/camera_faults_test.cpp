#include <gtest/gtest.h>

#include "run_orvex.h"

namespace e2e {
namespace {

int linesSaying(const std::string& log, const std::string& message) {
    int count = 0;
    for (auto at = log.find("]: " + message + "\n"); at != std::string::npos;
         at = log.find("]: " + message + "\n", at + 1))
        ++count;
    return count;
}

class CameraFaultsTest : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove_all(album); }
    // A camera that hung the screen would hang the test too: the run is ended after a minute.
    OrvexRun run(const std::string& options, const std::string& script) {
        return runOrvex("--headless " + options + " --album " + album.string(), script,
                        "timeout -k 5 60");
    }
    std::filesystem::path album =
        scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
};

// The camera opens but sends nothing: each shot is answered with no picture within a few
// seconds, also on a virtual clock, and the camera is then reported as failed.
TEST_F(CameraFaultsTest, ACameraThatSendsNothingNeverHoldsTheScreen) {
    const auto result =
        run("--virtual-clock --camera 'pipeline:videotestsrc ! identity drop-probability=1.0'",
            "wait 0.2\ntap 160 200\nwait 3\nstate\ntap 160 200\nwait 3\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_EQ(result.states().size(), 2u);
    for (const auto& s : result.states()) {
        EXPECT_EQ(s["s"], 1);
        EXPECT_EQ(s["spinner"], false);
        EXPECT_EQ(s["tabBarEnabled"], true);
    }
    EXPECT_EQ(linesSaying(result.err,
                          "warning: Camera failed: nothing arrived within 5 seconds of starting"),
              1)
        << result.err;
    EXPECT_TRUE(picturesIn(album).empty());
}

// A pipeline that ends is opened again and again; a shot while it is away is missed, not
// the frozen last frame saved.
TEST_F(CameraFaultsTest, ACameraThatStopsGivesNoStalePictureAndIsOpenedAgain) {
    const auto result = run("--verbose --camera 'pipeline:videotestsrc num-buffers=30'",
                            "wait 2\ntap 160 200\nwait 4\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(picturesIn(album).empty());
    EXPECT_EQ(linesSaying(result.err,
                          "warning: missed photo: camera unavailable (the camera "
                          "stopped delivering pictures)"),
              1)
        << result.err;
    EXPECT_GE(linesSaying(result.err, "Camera: pipeline videotestsrc num-buffers=30"), 3);
    EXPECT_GE(linesSaying(result.err, "Camera: pipeline videotestsrc num-buffers=30 is back"), 1);
    EXPECT_EQ(result.states().at(0)["s"], 1);
    EXPECT_EQ(result.states().at(0)["tabBarEnabled"], true);
}

// libcamera, asked for its cameras at start-up, keeps its routine notes to itself.
TEST_F(CameraFaultsTest, CameraLookUpWritesNothingOfItsOwnToTheLog) {
    const auto result = run("--virtual-clock", "wait 0.1\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err.find("libcamera v"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(" INFO "), std::string::npos) << result.err;
}

}  // namespace
}  // namespace e2e
