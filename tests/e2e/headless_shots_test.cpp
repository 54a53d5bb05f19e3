#include <gtest/gtest.h>

#include <sstream>

#include "platform/graphics/decode_image.h"
#include "run_orvex.h"

namespace e2e {
namespace {

using platform::foundation::Size;

Size pictureSize(const std::filesystem::path& path) {
    auto decoded = platform::graphics::decodeImageFile(path);
    EXPECT_TRUE(decoded.ok()) << decoded.error();
    return decoded.ok() ? decoded.value()->size() : Size{};
}

class HeadlessShotsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        album = scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { std::filesystem::remove_all(album); }
    OrvexRun shoot(const std::string& script) {
        return runOrvex("--headless --virtual-clock --camera test --album " + album.string(),
                        script);
    }
    std::filesystem::path album;
};

TEST_F(HeadlessShotsTest, StartsInQuickShotAndReportsEveryKey) {
    const auto run = shoot("wait 0.2\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto states = run.states();
    ASSERT_EQ(states.size(), 1u);
    const auto& s = states[0];
    EXPECT_EQ(s["mode"], 1);
    EXPECT_EQ(s["value"], 1.0);
    EXPECT_EQ(s["state"], 1);
    EXPECT_EQ(s["aTimer"], 0);
    EXPECT_EQ(s["s"], 1);
    for (const char* key : {"nTimer", "loop", "timer", "sidebar", "flash", "spinner",
                            "tabBarEnabled", "countdown", "saved", "screen", "sounds"})
        EXPECT_TRUE(s.contains(key)) << key;
    EXPECT_EQ(s["screen"], "capture");
    EXPECT_EQ(s["sidebar"], "closed");
}

TEST_F(HeadlessShotsTest, QuickShotTapLeavesOnePortraitPhotograph) {
    const auto run = shoot("wait 0.2\ntap 160 200\nwait 3\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto s = run.states().at(0);
    EXPECT_EQ(s["saved"], 1);
    EXPECT_EQ(s["s"], 1);
    EXPECT_EQ(s["spinner"], false);
    EXPECT_EQ(s["tabBarEnabled"], true);
    const auto pictures = picturesIn(album);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictureSize(pictures[0]), (Size{1536, 2048}));
}

TEST_F(HeadlessShotsTest, ThreeSecondTimerGivesExactlyOnePhotograph) {
    const auto run = shoot("wait 0.2\ntap 160 452\ntap 160 200\nwait 1\nstate\nwait 5\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto states = run.states();
    EXPECT_EQ(states.at(0)["countdown"], "00:02");
    EXPECT_TRUE(states.at(1)["countdown"].is_null());
    EXPECT_EQ(states.at(1)["timer"], false);
    EXPECT_EQ(states.at(1)["sounds"]["beep"], 2);
    EXPECT_EQ(picturesIn(album).size(), 1u);
}

TEST_F(HeadlessShotsTest, TimerLoopShootsEveryFifteenSecondsUntilATouch) {
    const auto run =
        shoot("wait 0.2\ntap 224 452\ntap 160 200\nwait 46\nstate\ntap 160 200\nwait 30\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto states = run.states();
    EXPECT_EQ(states.at(0)["timer"], true);
    EXPECT_EQ(states.at(0)["saved"], 3);
    EXPECT_EQ(states.at(1)["timer"], false);
    EXPECT_EQ(states.at(1)["saved"], 3);
    EXPECT_EQ(picturesIn(album).size(), 3u);
}

TEST_F(HeadlessShotsTest, PresetButtonsOnTheSidebarChooseThePhotographSize) {
    // The sidebar button sticks out at x 0…56; open, the presets lie at x 5…107.
    const auto run = shoot(
        "wait 0.2\n"
        "tap 30 218\ntap 56 70\ntap 250 200\nwait 2\n"
        "tap 30 218\ntap 56 112\ntap 250 200\nwait 2\n"
        "tap 30 218\ntap 56 154\ntap 250 200\nwait 2\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.states().at(0)["state"], 3);
    EXPECT_EQ(run.states().at(0)["sidebar"], "closed");
    const auto pictures = picturesIn(album);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictureSize(pictures[0]), (Size{1536, 2048}));
    EXPECT_EQ(pictureSize(pictures[1]), (Size{1936, 2584}));
    EXPECT_EQ(pictureSize(pictures[2]), (Size{2368, 3160}));
}

TEST_F(HeadlessShotsTest, ZoomTwoGivesTheCentredQuarterAtHalfSize) {
    const auto run = shoot("wait 0.2\ntap 96 452\nslide 2.0\nstate\ntap 160 200\nwait 2\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.states().at(0)["value"], 2.0);
    EXPECT_EQ(run.states().at(1)["value"], 1.0);
    const auto pictures = picturesIn(album);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictureSize(pictures[0]), (Size{768, 1024}));
}

TEST_F(HeadlessShotsTest, UnwritableAlbumKeepsThePictureInTheFallbackFolder) {
    const auto blocker = album / "not-a-folder";
    std::ofstream(blocker) << "x";
    const auto state = album / "state";
    const auto run =
        runOrvex("--headless --virtual-clock --camera test --album " + (blocker / "album").string(),
                 "wait 0.2\ntap 160 200\nwait 2\nstate\n", "XDG_STATE_HOME=" + state.string());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto s = run.states().at(0);
    EXPECT_EQ(s["s"], 1);
    EXPECT_EQ(s["tabBarEnabled"], true);
    EXPECT_NE(run.err.find("not-a-folder"), std::string::npos) << run.err;
    std::size_t kept = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(state))
        kept += entry.path().extension() == ".jpg";
    EXPECT_EQ(kept, 1u);
}

TEST_F(HeadlessShotsTest, MalformedCommandsAreReportedByLineAndTheScriptGoesOn) {
    const auto run =
        shoot("# a comment\n\nzoom in\ntap 160\ntap a b\nwait -1\nslide 2\nwait 0.2\nstate\n");
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("line 3: unknown command \"zoom\""), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("line 4: usage: tap X Y"), std::string::npos);
    EXPECT_NE(run.err.find("line 5: X must be a number"), std::string::npos);
    EXPECT_NE(run.err.find("line 6:"), std::string::npos);
    EXPECT_NE(run.err.find("line 7:"), std::string::npos);
    EXPECT_EQ(run.states().size(), 1u);
}

// A shot sounds the shutter and flashes the live picture white for a moment, and the
// photograph is taken all the same.
TEST_F(HeadlessShotsTest, AShotSoundsTheShutterAndFlashesThePicture) {
    const auto during = album / "during.png", after = album / "after.png";
    const auto run = shoot("wait 0.3\ntap 160 200\nwait 0.05\nscreenshot " + during.string() +
                           "\nwait 0.4\nscreenshot " + after.string() + "\nwait 3\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.states().at(0)["sounds"]["shutter"], 1);
    EXPECT_EQ(run.states().at(0)["saved"], 1);
    const auto brightness = [](const std::filesystem::path& path) {
        const auto pixel =
            platform::graphics::decodeImageFile(path).value()->pixels().pixel(160, 380);
        return (pixel >> 16 & 0xFF) + (pixel >> 8 & 0xFF) + (pixel & 0xFF);
    };
    EXPECT_GT(brightness(during), brightness(after) + 200);
}

// The screens' developer lines are shown only on request; where a photo went always is.
TEST_F(HeadlessShotsTest, DeveloperLinesOnlyWhenAskedForAndTheSavedPhotoAlways) {
    const std::string script = "wait 0.2\ntap 160 200\nwait 3\n";
    const auto quiet = shoot(script);
    const auto verbose =
        runOrvex("--headless --virtual-clock --camera test --album " + album.string(), script,
                 "ORVEX_DEBUG=1");
    for (const auto* run : {&quiet, &verbose}) {
        ASSERT_EQ(run->status, 0) << run->err;
        EXPECT_NE(run->err.find("photo saved: " + album.string() + "/IMG_"), std::string::npos)
            << run->err;
    }
    EXPECT_NE(quiet.err.find("Orvex " ORVEX_VERSION ": camera test camera; photos go to " +
                             album.string()),
              std::string::npos)
        << quiet.err;
    EXPECT_EQ(quiet.err.find("Should save"), std::string::npos) << quiet.err;
    EXPECT_EQ(quiet.err.find("TOUCH!"), std::string::npos) << quiet.err;
    EXPECT_NE(verbose.err.find("Should save"), std::string::npos) << verbose.err;
}

TEST_F(HeadlessShotsTest, AWaitBeyondTheLimitIsRefusedAndTheTimeLapseKeepsItsPace) {
    const auto run = shoot("wait 0.2\ntap 224 452\ntap 160 200\nwait 1e30\nwait 16\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("line 4: S must be between 0 and 2592000"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.states().at(0)["saved"], 1);
}

TEST_F(HeadlessShotsTest, HostileLinesAreQuotedShortAndEscaped) {
    const std::string huge(100000, 'x');
    const auto run =
        shoot(huge + "\ntap \x01\x1b[2J 5\n\xff\xfe\n" + std::string("key \0z", 6) + "\n");
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.err);
    int errors = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("orvex: line")) continue;
        ++errors;
        EXPECT_LT(line.size(), 200u) << line.substr(0, 200);
        for (const char c : line) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20) << line;
    }
    EXPECT_EQ(errors, 4);
    EXPECT_NE(run.err.find("\"\\x01\\x1B[2J\""), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\"\\xFF\\xFE\""), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\"\\x00z\""), std::string::npos) << run.err;
}

}  // namespace
}  // namespace e2e
