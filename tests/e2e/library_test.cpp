#include <gtest/gtest.h>
#include "run_orvex.h"
#include "tests/graphics/reference_png.h"

namespace e2e {
namespace {

using LibraryTest = OrvexTest;

// Three photographs, the last at 7 MPX so that the newest can be told apart, then the library.
constexpr const char* kThreeShotsThenTheLibrary =
    "wait 0.2\n"
    "tap 160 200\nwait 3\n"
    "tap 160 200\nwait 3\n"
    "tap 40 218\ntap 56 163\ntap 250 200\n"  // sidebar: 7 MPX, then closed by the touch
    "wait 0.6\ntap 160 200\nwait 3\n"
    "tap 288 452\nwait 1\nstate\n";

// Photos are counted from 0, the newest: one past the last is no photo. A picture too large
// for the memory budget is refused with a line that says so.
TEST_F(LibraryTest, NewestPhotoPickedClosedAndCancelledAndAHugeOneRefused) {
    // A PNG that says it is 10000 × 10000 pixels; its pixels are never reached.
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    reference_png::putChunk(png, "IHDR", {0, 0, 0x27, 0x10, 0, 0, 0x27, 0x10, 8, 6, 0, 0, 0});
    reference_png::putChunk(png, "IEND", {});
    const auto huge = folder / "huge.png";
    std::ofstream(huge, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));

    const auto result = run(kThreeShotsThenTheLibrary + ("pick " + huge.string()) +
                                "\npick 3\npick 0\nwait 1\nstate\n"
                                "key Escape\nwait 0.5\nstate\n"
                                "cancel\nwait 0.5\nstate\n",
                            "--memory-budget 300");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("more than the memory budget of 300 MB"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("no photo \"3\""), std::string::npos) << result.err;
    const auto states = result.states();
    ASSERT_EQ(states.size(), 4u) << result.out << result.err;
    EXPECT_EQ(states[0]["screen"], "library");
    EXPECT_EQ(states[0]["library"]["count"], 3);
    EXPECT_EQ(states[0]["library"]["thumbnails"], 3);
    EXPECT_EQ(states[1]["screen"], "preview");
    EXPECT_EQ(states[1]["preview"]["picture"], nlohmann::json::array({2368, 3160}));
    EXPECT_EQ(states[1]["preview"]["zoom"], states[1]["preview"]["minZoom"]);
    EXPECT_EQ(states[2]["screen"], "library");
    EXPECT_EQ(states[3]["screen"], "capture");
    EXPECT_EQ(states[3]["mode"], 1);
}

}  // namespace
}  // namespace e2e
