#include <gtest/gtest.h>

#include "run_orvex.h"

namespace e2e {
namespace {

// Every file under the folder, at any depth, hidden ones too.
std::vector<std::string> filesUnder(const std::filesystem::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) found.push_back(entry.path().filename().string());
    return found;
}

// Under a file-size limit (`ulimit -f 8`) smaller than any photograph, no photograph fits in
// either folder: the write fails like any other, and the photo waits in memory, shown on the
// screen and counted apart from the saved ones, until the last attempt at closing names it as
// lost.
TEST(UnsavedPhotosTest, FileSizeLimitHoldsThePhotoAndLeavesNoPartialFile) {
    const auto scratch = scratchFolder("file-size-limit");
    const auto album = scratch / "album";
    const auto run =
        runOrvex("--headless --virtual-clock --camera test --album " + album.string(),
                 "wait 0.2\ntap 160 200\nwait 3\nstate\nwait 200\nstate\n",
                 "XDG_STATE_HOME=" + (scratch / "state").string() + " prlimit --fsize=8192");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto states = run.states();
    ASSERT_EQ(states.size(), 2u) << run.err;
    for (const auto& s : states) {
        EXPECT_EQ(s["saved"], 0);
        EXPECT_EQ(s["pending"], 1);
        EXPECT_EQ(s["failed"], 0);
        EXPECT_EQ(s["saveNotice"], "cannot save photos: File too large");
        EXPECT_EQ(s["s"], 1);  // ready for the next shot
    }
    EXPECT_EQ(filesUnder(scratch), std::vector<std::string>{}) << run.err;
    EXPECT_NE(run.err.find("error: the photo IMG_"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("is lost"), std::string::npos) << run.err;
    std::filesystem::remove_all(scratch);
}

}  // namespace
}  // namespace e2e
