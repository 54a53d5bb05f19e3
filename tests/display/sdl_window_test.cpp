#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <thread>

#include "platform/display/sdl_window.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/image_named.h"
#include "tests/display/window_fixture.h"
#include "tests/ui/screen_pixels.h"

namespace {

using platform::display::SdlWindow;
using platform::foundation::RunLoop;
using platform::foundation::SystemClock;
using platform::foundation::SystemLog;
using window_fixture::ProbeScreen;

// The window back end on SDL's dummy video driver: events are pushed into SDL's queue as
// the system would deliver them.
class SdlWindowOnDummyDriver : public testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        std::string error;
        sdl_ = SdlWindow::open({.scale = scale()}, error);
        ASSERT_TRUE(sdl_) << error;
        sdl_->show(screen_.window, loop_);
    }
    void TearDown() override {
        sdl_.reset();
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        platform::ui::setScreenScale(1);
    }
    int scale() const { return GetParam(); }

    // Pushes a left mouse button event at a point, in window pixels.
    void mouse(Uint32 type, float x, float y, Uint32 which = 0) {
        SDL_Event event{};
        event.type = type;
        if (type == SDL_MOUSEMOTION) {
            event.motion.which = which;
            event.motion.x = static_cast<int>(x * scale());
            event.motion.y = static_cast<int>(y * scale());
            event.motion.state = SDL_BUTTON_LMASK;
        } else {
            event.button.which = which;
            event.button.button = SDL_BUTTON_LEFT;
            event.button.x = static_cast<int>(x * scale());
            event.button.y = static_cast<int>(y * scale());
        }
        SDL_PushEvent(&event);
    }
    void click(float x, float y) {
        mouse(SDL_MOUSEBUTTONDOWN, x, y);
        mouse(SDL_MOUSEBUTTONUP, x, y);
        sdl_->dispatchEvents();
    }
    void key(SDL_Keycode keycode) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = keycode;
        SDL_PushEvent(&event);
        sdl_->dispatchEvents();
    }

    RunLoop loop_{std::make_shared<SystemClock>()};
    ProbeScreen screen_;
    std::unique_ptr<SdlWindow> sdl_;
    SystemLog::Capture log_;
};

TEST_P(SdlWindowOnDummyDriver, ClicksReachTheControlUnderThemInPoints) {
    EXPECT_EQ(sdl_->scale(), scale());
    EXPECT_EQ(platform::ui::screenScale(), scale());
    click(274, 35);
    click(224, 452);
    click(160, 200);
    EXPECT_EQ(log_.lines(), (std::vector<std::string>{"flash pressed", "selected: 4", "TOUCH!"}));
}

TEST_P(SdlWindowOnDummyDriver, FingersTouchLikeTheMouseAndItsCopiesAreLeftOut) {
    SDL_Event finger{};
    finger.type = SDL_FINGERDOWN;
    finger.tfinger.fingerId = 7;
    finger.tfinger.x = 274.0f / 320.0f;
    finger.tfinger.y = 35.0f / 480.0f;
    SDL_PushEvent(&finger);
    mouse(SDL_MOUSEBUTTONDOWN, 274, 35, SDL_TOUCH_MOUSEID);  // SDL's copy
    mouse(SDL_MOUSEBUTTONUP, 274, 35, SDL_TOUCH_MOUSEID);
    finger.type = SDL_FINGERUP;
    SDL_PushEvent(&finger);
    sdl_->dispatchEvents();
    EXPECT_EQ(log_.lines(), std::vector<std::string>{"flash pressed"});
}

TEST_P(SdlWindowOnDummyDriver, DraggingTheThumbChangesTheValueContinuously) {
    const float y = 350 + 16.5f;
    mouse(SDL_MOUSEBUTTONDOWN, 30, y);
    mouse(SDL_MOUSEMOTION, 100, y);
    mouse(SDL_MOUSEMOTION, 200, y);
    mouse(SDL_MOUSEBUTTONUP, 200, y);
    sdl_->dispatchEvents();
    EXPECT_GE(log_.lines().size(), 2u);
    EXPECT_GT(screen_.slider->value(), 4.0f);
    EXPECT_EQ(log_.count("flash pressed"), 0);
}

TEST_P(SdlWindowOnDummyDriver, KeysTouchThePictureAndTheTabItemsAndEscapeAsksTheApp) {
    int escapes = 0;
    sdl_->setEscapeHandler([&] { ++escapes; });
    key(SDLK_SPACE);
    key(SDLK_2);
    key(SDLK_5);
    key(SDLK_6);  // no sixth item
    key(SDLK_ESCAPE);
    EXPECT_EQ(log_.lines(), (std::vector<std::string>{"TOUCH!", "selected: 2", "selected: 5"}));
    EXPECT_EQ(escapes, 1);
}

TEST_P(SdlWindowOnDummyDriver, ClosingTheWindowQuitsTheLoop) {
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&close);
    loop_.runFor(5.0);
    EXPECT_TRUE(loop_.quitRequested());
}

TEST_P(SdlWindowOnDummyDriver, PresentsOnlyWhenSomethingChanged) {
    sdl_->turnEnded();
    EXPECT_EQ(sdl_->presentedFrames(), 1u);
    sdl_->turnEnded();
    EXPECT_EQ(sdl_->presentedFrames(), 1u);

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    screen_.live().setCameraFrame(screen_pixels::solidPicture(64, 48, screen_pixels::kRed));
    sdl_->turnEnded();
    EXPECT_EQ(sdl_->presentedFrames(), 2u);
    EXPECT_EQ(sdl_->compositor()->counts().videoCompositions, 1u);

    // A change right after a frame waits for the next sixtieth of a second.
    screen_.flash->setHidden(true);
    sdl_->turnEnded();
    EXPECT_EQ(sdl_->presentedFrames(), 2u);
    loop_.runFor(0.05);
    EXPECT_EQ(sdl_->presentedFrames(), 3u);
}

TEST_P(SdlWindowOnDummyDriver, WakeFromAnotherThreadEndsTheWait) {
    sdl_->dispatchEvents();
    const auto start = std::chrono::steady_clock::now();
    std::thread waker([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sdl_->wake();
    });
    sdl_->waitForEvents(10.0);
    waker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

INSTANTIATE_TEST_SUITE_P(Scales, SdlWindowOnDummyDriver, testing::Values(1, 2));

TEST(SdlWindow, WithoutDisplayOpensNothingAndSaysWhy) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string savedDisplay = display ? display : "";
    const std::string savedWayland = wayland ? wayland : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::string error;
    EXPECT_EQ(SdlWindow::open({}, error), nullptr);
    EXPECT_NE(error, "");
    if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
    if (wayland) setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
}

}  // namespace
