#include <gtest/gtest.h>

#include "run_orvex.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// A copy of the application's resources to break.
class BrokenResourcesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resources = scratchFolder("resources");
        for (const auto& entry : fs::directory_iterator(ORVEX_TEST_SOURCE_DIR "/resources"))
            if (entry.is_regular_file())
                fs::copy_file(entry.path(), resources / entry.path().filename());
    }
    void TearDown() override { fs::remove_all(resources); }
    OrvexRun start(const std::string& script = "wait 0.2\nstate\n") {
        return runOrvex(
            "--headless --virtual-clock --camera test --album " + (resources / "album").string(),
            script, "ORVEX_RESOURCES=" + resources.string());
    }
    fs::path resources;
};

TEST_F(BrokenResourcesTest, MissingMainInterfaceStopsWithTheFileNamed) {
    fs::remove(resources / "MainWindow.json");
    const auto run = start();
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("\"MainWindow.json\""), std::string::npos) << run.err;
    EXPECT_TRUE(run.states().empty());
}

TEST_F(BrokenResourcesTest, MalformedInterfaceResourceStopsWithTheFileNamed) {
    std::ofstream(resources / "Preview.json") << "{\"objects\": [ {\"id\": \"root\", ";
    const auto run = start();
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("\"Preview.json\" is malformed"), std::string::npos) << run.err;
}

TEST_F(BrokenResourcesTest, MissingPictureAndSoundAreLoggedOnceAndTheScreenGoesOn) {
    for (const char* name : {"empty.png", "empty@2x.png", "beep.wav"}) fs::remove(resources / name);
    const auto run = start("wait 0.2\ntap 160 452\ntap 160 200\nwait 4\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto countOf = [&](const std::string& text) {
        std::size_t n = 0;
        for (auto at = run.err.find(text); at != std::string::npos; at = run.err.find(text, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(countOf("\"empty.png\""), 1u) << run.err;
    EXPECT_EQ(countOf("beep.wav"), 1u) << run.err;
    const auto s = run.states().at(0);
    EXPECT_EQ(s["saved"], 1);
    EXPECT_EQ(s["sounds"]["beep"], 2);  // a silent player still counts
}

}  // namespace
}  // namespace e2e
