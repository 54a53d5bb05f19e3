#include <gtest/gtest.h>
#include "run_orvex.h"
#include "tests/graphics/reference_png.h"

namespace e2e {
namespace {

// Three photographs, the last at 7 MPX so that the newest can be told apart.
constexpr const char* kThreeShots =
    "wait 0.2\n"
    "tap 160 200\nwait 3\n"
    "tap 160 200\nwait 3\n"
    "tap 40 218\ntap 56 163\ntap 250 200\n"  // sidebar: 7 MPX, then closed by the touch
    "wait 0.6\ntap 160 200\nwait 3\n";
constexpr const char* kOpenLibrary = "tap 288 452\nwait 1\n";

class LibraryTest : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove_all(folder); }
    OrvexRun run(const std::string& script, const std::string& options = "") {
        return runOrvex(
            "--headless --virtual-clock --camera test --album " + album.string() + options, script,
            "XDG_CACHE_HOME=" + cache.string());
    }
    std::filesystem::path folder =
        scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::path album = folder / "album", cache = folder / "cache";
};

TEST_F(LibraryTest, NewestPhotoPickedZoomedPannedClosedAndCancelled) {
    const auto result = run(std::string(kThreeShots) + kOpenLibrary + "state\n" +
                            "pick 0\nwait 1\nstate\n"
                            "key plus\nkey plus\nstate\n"
                            "drag 200 300 100 200\nwait 1\nstate\n"
                            "key Escape\nwait 0.5\nstate\n"
                            "cancel\nwait 0.5\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto states = result.states();
    ASSERT_EQ(states.size(), 6u) << result.out << result.err;

    const auto& grid = states[0];
    EXPECT_EQ(grid["screen"], "library");
    EXPECT_EQ(grid["library"]["count"], 3);
    EXPECT_EQ(grid["library"]["thumbnails"], 3);

    const auto& shown = states[1]["preview"];
    EXPECT_EQ(states[1]["screen"], "preview");
    EXPECT_EQ(shown["picture"], nlohmann::json::array({2368, 3160}));
    EXPECT_EQ(shown["busy"], false);
    EXPECT_EQ(shown["zoom"], shown["minZoom"]);

    const auto& zoomed = states[2]["preview"];
    EXPECT_GT(zoomed["zoom"].get<float>(), shown["zoom"].get<float>());
    EXPECT_LE(zoomed["zoom"].get<float>(), zoomed["maxZoom"].get<float>());

    // A drag up and to the left moves the content's offset down and right, within the
    // zoomed content's extent.
    const auto& panned = states[3]["preview"];
    const float zoom = panned["zoom"];
    for (int axis : {0, 1}) {
        const float offset = panned["offset"][axis];
        const float moved = zoomed["offset"][axis];
        const float extent = panned["content"][axis].get<float>() * zoom;
        const float frame = axis == 0 ? 320.0f : 436.0f;
        EXPECT_GT(offset, moved) << axis;
        EXPECT_GE(offset, 0.0f);
        EXPECT_LE(offset, std::max(0.0f, extent - frame) + 0.01f);
    }

    EXPECT_EQ(states[4]["screen"], "library");
    EXPECT_EQ(states[5]["screen"], "capture");
    EXPECT_EQ(states[5]["mode"], 1);
}

TEST_F(LibraryTest, ABrokenFileShowsBrokenAndItsPickLeavesThePreviewEmpty) {
    // Set up the album with one photograph first, then a file that only looks like one.
    const auto first = run("wait 0.2\ntap 160 200\nwait 3\n");
    ASSERT_EQ(first.status, 0) << first.err;
    std::ofstream(album / "IMG_broken.jpg") << "not a picture at all";
    std::filesystem::last_write_time(
        album / "IMG_broken.jpg",
        std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));

    const auto result =
        run(std::string("wait 0.2\n") + kOpenLibrary + "state\n" + "pick 0\nwait 1\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto states = result.states();
    ASSERT_EQ(states.size(), 2u) << result.err;
    EXPECT_EQ(states[0]["library"]["count"], 2);
    EXPECT_EQ(states[0]["library"]["thumbnails"], 2);
    EXPECT_EQ(states[1]["screen"], "preview");
    EXPECT_TRUE(states[1]["preview"]["picture"].is_null());
    EXPECT_NE(result.err.find("IMG_broken.jpg"), std::string::npos) << result.err;

    // The standard's fail entry keeps file managers from trying it again too.
    std::size_t failEntries = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(cache / "thumbnails"))
        failEntries += entry.path().string().find("/fail/orvex-") != std::string::npos &&
                       entry.is_regular_file();
    EXPECT_EQ(failEntries, 1u);
}

TEST_F(LibraryTest, AnEmptyAlbumSaysSoAndPickOfNothingIsAnError) {
    const auto result = run(std::string("wait 0.2\n") + kOpenLibrary + "state\npick 0\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.states().at(0)["library"]["count"], 0);
    EXPECT_NE(result.err.find("no photo \"0\""), std::string::npos) << result.err;
}

// A PNG that says it is 10000 × 10000 pixels; its pixels are never reached.
void writeHugePngHeader(const std::filesystem::path& path) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    reference_png::putChunk(png, "IHDR", {0, 0, 0x27, 0x10, 0, 0, 0x27, 0x10, 8, 6, 0, 0, 0});
    reference_png::putChunk(png, "IEND", {});
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

TEST_F(LibraryTest, APictureBeyondTheMemoryBudgetIsRefusedWithOneLine) {
    std::filesystem::create_directories(album);
    const auto huge = album / "huge.png";
    writeHugePngHeader(huge);
    const auto result = run(
        std::string("wait 0.2\n") + kOpenLibrary + "pick " + huge.string() + "\nwait 1\nstate\n",
        " --memory-budget 300");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("more than the memory budget of 300 MB"), std::string::npos)
        << result.err;
    EXPECT_TRUE(result.states().at(0)["preview"].is_null() ||
                result.states().at(0)["preview"]["picture"].is_null());
}

}  // namespace
}  // namespace e2e
