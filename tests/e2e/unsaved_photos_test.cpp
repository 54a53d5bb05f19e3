#include <gtest/gtest.h>

#include "run_orvex.h"

namespace e2e {
namespace {

using UnsavedPhotosTest = OrvexTest;

// Under a file-size limit (`ulimit -f 8`) smaller than any photograph, no photograph fits in
// either folder: the write fails like any other, and the photo waits in memory, shown on the
// screen and counted apart from the saved ones, until the last attempt at closing names it as
// lost.
TEST_F(UnsavedPhotosTest, FileSizeLimitHoldsThePhotoAndLeavesNoHalfWrittenFile) {
    const auto result =
        run("wait 0.2\ntap 160 200\nwait 3\nstate\nwait 200\nstate\n", "", "prlimit --fsize=8192");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto states = result.states();
    ASSERT_EQ(states.size(), 2u) << result.err;
    for (const auto& s : states) {
        EXPECT_EQ(s["pending"], 1);
        EXPECT_EQ(s["failed"], 0);
        EXPECT_EQ(s["saveNotice"], "cannot save photos: File too large");
    }
    // No file at all, hidden ones included, in the album or the fallback folder.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        EXPECT_FALSE(entry.is_regular_file()) << entry.path();
    EXPECT_NE(result.err.find("error: the photo IMG_"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("is lost"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace e2e
