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
    OrvexRun shoot(const std::string& script, const std::string& environment = "") {
        return runOrvex("--headless --virtual-clock --camera test --album " + album.string(),
                        script, environment);
    }
    std::filesystem::path album;
};

// The screens' developer lines are shown only on request; where a photo went always is.
TEST_F(HeadlessShotsTest, QuickShotTapLeavesOnePortraitPhotographAndSaysWhere) {
    const std::string script = "wait 0.2\ntap 160 200\nwait 3\nstate\n";
    const auto quiet = shoot(script);
    const auto verbose = shoot(script, "ORVEX_DEBUG=1");
    for (const auto* run : {&quiet, &verbose}) {
        ASSERT_EQ(run->status, 0) << run->err;
        const auto s = run->states().at(0);
        EXPECT_EQ(s["saved"], 1);
        EXPECT_EQ(s["s"], 1);
        EXPECT_EQ(s["spinner"], false);
        EXPECT_EQ(s["tabBarEnabled"], true);
        EXPECT_NE(run->err.find("photo saved: " + album.string() + "/IMG_"), std::string::npos)
            << run->err;
    }
    const auto pictures = picturesIn(album);
    ASSERT_EQ(pictures.size(), 2u);
    for (const auto& picture : pictures) EXPECT_EQ(pictureSize(picture), (Size{1536, 2048}));
    EXPECT_NE(quiet.err.find("Orvex " ORVEX_VERSION ": camera test camera; photos go to " +
                             album.string()),
              std::string::npos)
        << quiet.err;
    EXPECT_EQ(quiet.err.find("Should save"), std::string::npos) << quiet.err;
    EXPECT_EQ(quiet.err.find("TOUCH!"), std::string::npos) << quiet.err;
    EXPECT_NE(verbose.err.find("Should save"), std::string::npos) << verbose.err;
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
    EXPECT_EQ(run.states().at(0)["s"], 1);
    EXPECT_NE(run.err.find("not-a-folder"), std::string::npos) << run.err;
    std::size_t kept = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(state))
        kept += entry.path().extension() == ".jpg";
    EXPECT_EQ(kept, 1u);
}

// Each bad line is named by its number, quoted short and escaped; the script goes on.
TEST_F(HeadlessShotsTest, BadLinesAreReportedByLineAndTheScriptGoesOn) {
    const auto run = shoot("# a comment\n\nzoom in\ntap 160\ntap a b\nwait -1\nslide 2\n" +
                           std::string(100000, 'x') + "\ntap \x01\x1b[2J 5\n\xff\xfe\n" +
                           std::string("key \0z", 6) + "\nwait 0.2\nstate\n");
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("line 3: unknown command \"zoom\""), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("line 4: usage: tap X Y"), std::string::npos);
    EXPECT_NE(run.err.find("line 5: X must be a number"), std::string::npos);
    std::istringstream lines(run.err);
    int errors = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("orvex: line")) continue;
        EXPECT_TRUE(line.starts_with("orvex: line " + std::to_string(++errors + 2) + ": "));
        EXPECT_LT(line.size(), 200u) << line.substr(0, 200);
        for (const char c : line) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20) << line;
    }
    EXPECT_EQ(errors, 9);
    EXPECT_NE(run.err.find("\"\\x01\\x1B[2J\""), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\"\\xFF\\xFE\""), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\"\\x00z\""), std::string::npos) << run.err;
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

TEST_F(HeadlessShotsTest, AWaitBeyondTheLimitIsRefusedAndTheTimeLapseKeepsItsPace) {
    const auto run = shoot("wait 0.2\ntap 224 452\ntap 160 200\nwait 1e30\nwait 16\nstate\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("line 4: S must be between 0 and 2592000"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.states().at(0)["saved"], 1);
}

}  // namespace
}  // namespace e2e
