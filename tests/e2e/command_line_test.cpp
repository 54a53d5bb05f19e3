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
        {"--headless --scale abc", "1 or 2"},
        {"--headless --camera-orientation sideways", "up, down, left, right"},
    };
    for (const auto& c : cases) {
        const auto run = runOrvex(c.arguments, "state\n");
        EXPECT_NE(run.status, 0) << c.arguments;
        EXPECT_TRUE(run.out.empty()) << c.arguments << ": ran anyway";
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << c.arguments << ": " << run.err;
    }
}

}  // namespace
}  // namespace e2e
