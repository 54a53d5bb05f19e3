#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/display/sdl_window.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/image_named.h"
#include "tests/display/virtual_display.h"
#include "tests/display/window_fixture.h"

namespace {

using platform::display::SdlWindow;
using platform::foundation::RunLoop;
using platform::foundation::SystemClock;
using platform::foundation::SystemLog;

// A real SDL window on a virtual X display, clicked and typed at with xdotool, which
// drives the X server as a user's mouse and keyboard would.
class WindowUnderXvfb : public testing::Test {
  protected:
    void SetUp() override {
        if (!commandExists("Xvfb") || !commandExists("xdotool"))
            GTEST_SKIP() << "needs Xvfb and xdotool (scripts/install-deps installs them)";
        const auto display = server_.start();
        ASSERT_TRUE(display) << "Xvfb did not start";
        const char* previous = std::getenv("DISPLAY");
        if (previous) previousDisplay_ = previous;
        setenv("DISPLAY", display->c_str(), 1);
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    }
    void TearDown() override {
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        if (previousDisplay_) {
            setenv("DISPLAY", previousDisplay_->c_str(), 1);
        } else {
            unsetenv("DISPLAY");
        }
        platform::ui::setScreenScale(1);
    }

    VirtualDisplay server_;
    std::optional<std::string> previousDisplay_;
};

// What the user does, from another thread: it only runs xdotool, never touches the views.
struct User {
    std::atomic<bool> done = false;
    std::string windowId;
    std::string geometry;
    std::string failure;

    void run() {
        const auto id =
            commandOutput("timeout 10 xdotool search --sync --onlyvisible --name '^Orvex$'");
        if (!id || id->empty()) return finish("the window did not appear");
        windowId = id->substr(0, id->find('\n'));
        geometry = commandOutput("xdotool getwindowgeometry " + windowId).value_or("");
        // Window pixels at scale 2: the flash button, the third tab item, the live picture.
        for (const char* at : {"548 70", "320 905", "320 424"})
            if (!xdotool(std::string("mousemove --window ") + windowId + " " + at + " click 1"))
                return finish("a click failed");
        if (!xdotool("windowfocus --sync " + windowId) || !xdotool("key 5") ||
            !xdotool("key space"))
            return finish("typing failed");
        finish("");
    }
    bool xdotool(const std::string& arguments) {
        const bool ok = commandOutput("xdotool " + arguments).has_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return ok;
    }
    void finish(std::string why) {
        failure = std::move(why);
        done = true;
    }
};

TEST_F(WindowUnderXvfb, ClicksAndKeysArriveAtTheRightControls) {
    std::string error;
    auto sdl = SdlWindow::open({.scale = 2}, error);
    ASSERT_TRUE(sdl) << error;
    window_fixture::ProbeScreen screen;
    RunLoop loop(std::make_shared<SystemClock>());
    SystemLog::Capture log;
    sdl->show(screen.window, loop);

    User user;
    std::thread userThread([&user] { user.run(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!user.done && std::chrono::steady_clock::now() < deadline) loop.runFor(0.05);
    loop.runFor(0.3);  // the last events
    userThread.join();

    ASSERT_EQ(user.failure, "");
    EXPECT_NE(user.geometry.find("640x960"), std::string::npos) << user.geometry;
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"flash pressed", "selected: 3", "TOUCH!",
                                                     "selected: 5", "TOUCH!"}));
    EXPECT_GT(sdl->presentedFrames(), 0u);
}

}  // namespace
