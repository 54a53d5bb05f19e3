#include <gtest/gtest.h>

#include "run_orvex.h"

namespace e2e {
namespace {

// A mistyped option stops Orvex before it opens anything, and the line says what the
// option takes.
TEST(CommandLineTest, OptionErrorsSayWhatIsAllowed) {
    const struct {
        std::string arguments;
        std::string expected;
    } cases[] = {
        {"--headless --album ''", "--album: must not be empty"},
        {"--headless --outbox ''", "--outbox: must not be empty"},
        {"--headless --scale abc", "from 1 to 4"},
        {"--headless --scale 0.5", "from 1 to 4"},
        {"--headless --camera-orientation sideways", "up, down, left, right"},
    };
    for (const auto& c : cases) {
        const auto run = runOrvex(c.arguments, "state\n");
        EXPECT_NE(run.status, 0) << c.arguments;
        EXPECT_TRUE(run.out.empty()) << c.arguments << ": ran anyway";
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << c.arguments << ": " << run.err;
    }
}

// The demo clears its output folder between runs, but never a folder it did not make.
TEST(CommandLineTest, TheDemoNeverClearsAFolderItDidNotMake) {
    const auto folder = scratchFolder("demo-output");
    std::ofstream(folder / "precious.txt") << "keep me";
    const std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY ORVEX_DEMO_DIR=" + folder.string() +
        " " ORVEX_TEST_SOURCE_DIR "/scripts/run-orvex " +
        ORVEX_TEST_BINARY_DIR "/orvex >/dev/null 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_EQ(readFile(folder / "precious.txt"), "keep me");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace e2e
