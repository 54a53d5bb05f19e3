#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "platform/graphics/decode_image.h"
#include "run_orvex.h"
#include "tests/display/virtual_display.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

// The real binary in a real window on a virtual X display, clicked with xdotool as a user's
// mouse would.
class WindowClicksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!commandExists("Xvfb") || !commandExists("xdotool"))
            GTEST_SKIP() << "needs Xvfb and xdotool (scripts/install-deps installs them)";
        folder = scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        const auto name = display.start();
        ASSERT_TRUE(name) << "Xvfb did not start";
        displayName = *name;
        start();
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGTERM);  // SDL turns it into a quit
            int status = 0;
            waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log();
        }
        std::filesystem::remove_all(folder);
    }

    void start() {
        pid = fork();
        if (pid == 0) {
            setenv("DISPLAY", displayName.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("SDL_RENDER_DRIVER", "software", 1);
            const auto err = (folder / "log").string();
            freopen(err.c_str(), "w", stderr);
            const std::string album = (folder / "album").string();
            execl(ORVEX_TEST_BINARY_DIR "/orvex", "orvex", "--camera", "test", "--scale", "1",
                  "--album", album.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto id = commandOutput(
            "DISPLAY=" + displayName +
            " timeout 20 xdotool search --sync --onlyvisible --classname '^orvex$' | head -1");
        ASSERT_TRUE(id && !id->empty()) << "no window appeared:\n" << log();
        window = *id;
        waitFor("Camera:");
        std::this_thread::sleep_for(300ms);  // the start-up timer has shown the live picture
    }

    std::string log() const { return readFile(folder / "log"); }

    void click(int x, int y) {
        const auto command = "DISPLAY=" + displayName + " xdotool mousemove --window " + window +
                             " " + std::to_string(x) + " " + std::to_string(y) + " click 1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::this_thread::sleep_for(150ms);
    }

    // Waits, a few seconds at most, until the log holds the line `count` times.
    bool waitFor(const std::string& text, int count = 1, std::chrono::seconds limit = 15s) {
        const auto giveUp = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < giveUp) {
            const auto l = log();
            int found = 0;
            for (auto at = l.find(text); at != std::string::npos; at = l.find(text, at + 1))
                ++found;
            if (found >= count) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    std::size_t photographs() const { return picturesIn(folder / "album").size(); }

    VirtualDisplay display;
    std::string displayName;
    std::filesystem::path folder;
    std::string window;
    pid_t pid = -1;
};

TEST_F(WindowClicksTest, TimerTabThenAClickOnThePictureGivesOnePhotograph) {
    click(160, 452);
    EXPECT_TRUE(waitFor(": selected: 3")) << log();
    click(160, 200);
    EXPECT_TRUE(waitFor(": 3 loop")) << log();
    EXPECT_TRUE(waitFor(": Should save", 1, 10s)) << log();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(photographs(), 1u);
}

TEST_F(WindowClicksTest, PresetChosenOnTheSidebarSetsThePhotographSize) {
    click(30, 218);  // the sidebar button
    std::this_thread::sleep_for(700ms);
    click(56, 112);  // "5 MPX"
    EXPECT_TRUE(waitFor(": 5 MPX")) << log();
    click(250, 200);  // closes the sidebar and shoots
    EXPECT_TRUE(waitFor(": TOUCH!")) << log();
    ASSERT_TRUE(waitFor(": Should save", 1, 10s)) << log();
    const auto pictures = picturesIn(folder / "album");
    ASSERT_EQ(pictures.size(), 1u);
    auto decoded = platform::graphics::decodeImageFile(pictures[0]);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value()->size(), (platform::foundation::Size{1936, 2584}));
}

}  // namespace
}  // namespace e2e
