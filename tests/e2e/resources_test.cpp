#include <gtest/gtest.h>

#include "run_orvex.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// A copy of the application's resources to break.
class BrokenResourcesTest : public OrvexTest {
  protected:
    void SetUp() override {
        fs::create_directories(resources);
        for (const auto& entry : fs::directory_iterator(ORVEX_TEST_SOURCE_DIR "/resources"))
            if (entry.is_regular_file())
                fs::copy_file(entry.path(), resources / entry.path().filename());
    }
    OrvexRun start(const std::string& script = "wait 0.2\nstate\n") {
        return run(script, "", "ORVEX_RESOURCES=" + resources.string());
    }
    fs::path resources = folder / "resources";
};

// The main interface is read first; each file is read before the screen starts.
TEST_F(BrokenResourcesTest, AMalformedOrMissingInterfaceStopsWithTheFileNamed) {
    std::ofstream(resources / "Preview.json") << "{\"objects\": [ {\"id\": \"root\", ";
    const auto malformed = start();
    EXPECT_NE(malformed.status, 0);
    EXPECT_NE(malformed.err.find("\"Preview.json\" is malformed"), std::string::npos)
        << malformed.err;
    fs::remove(resources / "MainWindow.json");
    const auto missing = start();
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("\"MainWindow.json\""), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.states().empty());
}

TEST_F(BrokenResourcesTest, MissingPictureAndSoundAreLoggedOnceAndTheScreenGoesOn) {
    for (const char* name : {"empty.png", "empty@2x.png", "beep.wav"}) fs::remove(resources / name);
    const auto result = start("wait 0.2\ntap 160 452\ntap 160 200\nwait 4\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(occurrences(result.err, "\"empty.png\""), 1) << result.err;
    EXPECT_EQ(occurrences(result.err, "beep.wav"), 1) << result.err;
    const auto s = result.states().at(0);
    EXPECT_EQ(s["saved"], 1);
    EXPECT_EQ(s["sounds"]["beep"], 2);  // a silent player still counts
}

}  // namespace
}  // namespace e2e
