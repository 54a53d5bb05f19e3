#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "platform/graphics/png_codec.h"
#include "run_orvex.h"
#include "tests/graphics/independent_tools.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using independent_tools::available;

// The real binary in a real window on a virtual X desktop of 1024 × 768 with the scale left
// to Orvex, driven with xdotool as a user's mouse and keyboard would.
class WindowClicksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!available("Xvfb") || !available("xdotool") || !available("import"))
            GTEST_SKIP() << "needs Xvfb, xdotool and import (scripts/install-deps installs them)";
        folder = scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        displayName = startXvfb();
        ASSERT_FALSE(displayName.empty()) << "Xvfb did not start";
        const std::string album = (folder / "album").string();
        // The screens' own lines, which the test follows, are debug lines.
        std::vector<std::string> arguments{"orvex", "--verbose", "--camera",
                                           "test",  "--album",   album};
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            setenv("DISPLAY", displayName.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("SDL_RENDER_DRIVER", "software", 1);
            setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
            freopen((folder / "log").c_str(), "w", stderr);
            execv(ORVEX_TEST_BINARY_DIR "/orvex", argv.data());
            _exit(127);
        }
        window = independent_tools::run("DISPLAY=" + displayName +
                                        " timeout 20 xdotool search --sync --onlyvisible "
                                        "--classname '^orvex$' | head -1")
                     .output;
        ASSERT_FALSE(window.empty()) << "no window appeared:\n" << log();
        window.pop_back();  // the newline
        waitFor("Camera:");
        std::this_thread::sleep_for(300ms);  // the start-up timer has shown the live picture
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGTERM);  // SDL turns it into a quit
            int status = 0;
            waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log();
        }
        if (xvfb > 0) {
            kill(xvfb, SIGTERM);
            waitpid(xvfb, nullptr, 0);
        }
        std::filesystem::remove_all(folder);
    }

    // An Xvfb server of our own: it picks a free display number itself (-displayfd) and is
    // ended after the test, or with the test process should that die first. Its name (":N").
    std::string startXvfb() {
        int fds[2];
        if (pipe(fds) != 0) return "";
        const std::string fd = std::to_string(fds[1]);
        xvfb = fork();
        if (xvfb == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                   "-nolisten", "tcp", nullptr);
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        char c;
        while (xvfb > 0 && poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        return number.empty() ? "" : ":" + number;
    }

    std::string log() const { return readFile(folder / "log"); }

    // Waits, a few seconds at most, until the log holds the text.
    bool waitFor(const std::string& text) {
        const auto giveUp = std::chrono::steady_clock::now() + 15s;
        while (log().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > giveUp) return false;
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }

    void xdotool(const std::string& actions) {
        const auto command = "DISPLAY=" + displayName + " xdotool " + actions;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::this_thread::sleep_for(300ms);
    }

    std::map<std::string, int> geometry() {
        std::map<std::string, int> values;
        std::istringstream lines(independent_tools::run("DISPLAY=" + displayName +
                                                        " xdotool getwindowgeometry --shell " +
                                                        window)
                                     .output);
        for (std::string line; std::getline(lines, line);)
            if (const auto equals = line.find('='); equals != std::string::npos)
                values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
        return values;
    }

    // The window as the X server shows it, read back through ImageMagick's `import`.
    platform::graphics::ImagePtr windowPicture() {
        const auto path = folder / "window.png";
        const auto command = "DISPLAY=" + displayName + " import -window " + window +
                             " png:" + path.string() + " 2>/dev/null";
        if (std::system(command.c_str()) != 0) return nullptr;
        const auto bytes = readFile(path);
        auto decoded = platform::graphics::decodePng(
            {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
        return decoded ? decoded.value() : nullptr;
    }

    pid_t xvfb = -1;
    std::string displayName;
    std::filesystem::path folder;
    std::string window;
    pid_t pid = -1;
};

TEST_F(WindowClicksTest, OpensWhollyOnTheScreenLetterboxesWhenResizedAndQuitsOnControlQ) {
    auto shown = geometry();
    EXPECT_EQ(shown["WIDTH"], 480);  // 1.5 pixels a point: 2 would not fit 768 pixels
    EXPECT_EQ(shown["HEIGHT"], 720);
    EXPECT_GE(shown["X"], 0);
    EXPECT_GE(shown["Y"], 0);
    EXPECT_LE(shown["Y"] + shown["HEIGHT"], 768);

    xdotool("windowmove --sync " + window + " 0 40 windowsize --sync " + window + " 900 600");
    const auto picture = windowPicture();
    ASSERT_TRUE(picture);
    const auto& pixels = picture->pixels();
    ASSERT_EQ(pixels.width(), 900);
    EXPECT_EQ(pixels.pixel(100, 300) & 0xFFFFFF, 0u);  // the bars are black
    EXPECT_EQ(pixels.pixel(800, 300) & 0xFFFFFF, 0u);
    EXPECT_NE(pixels.pixel(450, 300) & 0xFFFFFF, 0u);  // the live picture between them
    // The picture's centre, 250 points down at 1.25 pixels a point.
    xdotool("mousemove --window " + window + " 450 250 click 1");
    EXPECT_TRUE(waitFor("TOUCH!")) << log();

    xdotool("windowfocus --sync " + window + " key ctrl+q");
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log();
    pid = -1;
}

}  // namespace
}  // namespace e2e
