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

using HeadlessShotsTest = OrvexTest;

// A shot sounds the shutter and flashes the live picture white for a moment, and the
// photograph is taken all the same. Where it went is always said, the screens' developer lines
// only on request.
TEST_F(HeadlessShotsTest, QuickShotTapLeavesOnePortraitPhotographAndSaysWhere) {
    const auto during = folder / "during.png", after = folder / "after.png";
    const std::string script = "wait 0.3\ntap 160 200\nwait 0.05\nscreenshot " + during.string() +
                               "\nwait 0.4\nscreenshot " + after.string() + "\nwait 3\nstate\n";
    const auto verbose = run(script, "", "ORVEX_DEBUG=1");
    const auto quiet = run(script);
    for (const auto* result : {&quiet, &verbose}) {
        ASSERT_EQ(result->status, 0) << result->err;
        EXPECT_EQ(result->states().at(0)["sounds"]["shutter"], 1);
        EXPECT_NE(result->err.find("photo saved: " + album.string() + "/IMG_"), std::string::npos)
            << result->err;
    }
    const auto pictures = filesIn(album);
    ASSERT_EQ(pictures.size(), 2u);
    for (const auto& picture : pictures) EXPECT_EQ(pictureSize(picture), (Size{1536, 2048}));
    EXPECT_NE(quiet.err.find("Orvex " ORVEX_VERSION ": camera test camera; photos go to " +
                             album.string()),
              std::string::npos)
        << quiet.err;
    EXPECT_EQ(quiet.err.find("Should save"), std::string::npos) << quiet.err;
    EXPECT_NE(verbose.err.find("Should save"), std::string::npos) << verbose.err;
    const auto brightness = [](const std::filesystem::path& path) {
        const auto pixel =
            platform::graphics::decodeImageFile(path).value()->pixels().pixel(160, 380);
        return (pixel >> 16 & 0xFF) + (pixel >> 8 & 0xFF) + (pixel & 0xFF);
    };
    EXPECT_GT(brightness(during), brightness(after) + 200);
}

// The zoom goes back to 1× once the shot is taken.
TEST_F(HeadlessShotsTest, ZoomTwoGivesTheCentredQuarterAtHalfSize) {
    const auto result = run("wait 0.2\ntap 96 452\nslide 2.0\nstate\ntap 160 200\nwait 2\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.states().at(0)["value"], 2.0);
    EXPECT_EQ(result.states().at(1)["value"], 1.0);
    const auto pictures = filesIn(album);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictureSize(pictures[0]), (Size{768, 1024}));
}

TEST_F(HeadlessShotsTest, UnwritableAlbumKeepsThePictureInTheFallbackFolder) {
    std::ofstream(album) << "a file where the album folder should be";
    const auto result = run("wait 0.2\ntap 160 200\nwait 2\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find(album.string()), std::string::npos) << result.err;
    std::size_t kept = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "state"))
        kept += entry.path().extension() == ".jpg";
    EXPECT_EQ(kept, 1u);
}

// Each bad line is named by its number, quoted short and escaped; the script goes on. A wait
// longer than a month is refused rather than run on the virtual clock.
TEST_F(HeadlessShotsTest, BadLinesAreReportedByLineAndTheScriptGoesOn) {
    const auto result =
        run("# a comment\n\nzoom in\ntap 160\ntap a b\nwait -1\nwait 1e30\nslide 2\n" +
            std::string(100000, 'x') + "\ntap \x01\x1b[2J 5\n\xff\xfe\n" +
            std::string("key \0z", 6) + "\nwait 0.2\nstate\n");
    ASSERT_EQ(result.status, 0);
    for (const char* said :
         {"line 3: unknown command \"zoom\"", "line 4: usage: tap X Y",
          "line 5: X must be a number", "line 7: S must be between 0 and 2592000",
          "\"\\x01\\x1B[2J\"", "\"\\xFF\\xFE\"", "\"\\x00z\""})
        EXPECT_NE(result.err.find(said), std::string::npos) << said << " in:\n" << result.err;
    std::istringstream lines(result.err);
    int errors = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("orvex: line")) continue;
        EXPECT_TRUE(line.starts_with("orvex: line " + std::to_string(++errors + 2) + ": "));
        EXPECT_LT(line.size(), 200u) << line.substr(0, 200);
        for (const char c : line) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20) << line;
    }
    EXPECT_EQ(errors, 10);
    EXPECT_EQ(result.states().size(), 1u);
}

}  // namespace
}  // namespace e2e
