#include <gtest/gtest.h>

#include <SDL.h>

#include <array>
#include <chrono>
#include <cmath>
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
class SdlWindowOnDummyDriver : public testing::TestWithParam<float> {
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
    float scale() const { return GetParam(); }

    // Pushes a left mouse button event at a point of the screen, where the window shows it
    // (the dummy driver has one pixel per window unit).
    void mouse(Uint32 type, float x, float y, Uint32 which = 0) {
        const auto& box = sdl_->placement();
        const int windowX = static_cast<int>(std::lround(box.x + x * box.scale));
        const int windowY = static_cast<int>(std::lround(box.y + y * box.scale));
        SDL_Event event{};
        event.type = type;
        if (type == SDL_MOUSEMOTION) {
            event.motion.which = which;
            event.motion.x = windowX;
            event.motion.y = windowY;
            event.motion.state = SDL_BUTTON_LMASK;
        } else {
            event.button.which = which;
            event.button.button = SDL_BUTTON_LEFT;
            event.button.x = windowX;
            event.button.y = windowY;
        }
        SDL_PushEvent(&event);
    }
    // The window's size changed, as the window manager reports it.
    void resize(int width, int height) {
        SDL_SetWindowSize(sdl_->sdlWindow(), width, height);
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
        event.window.data1 = width;
        event.window.data2 = height;
        SDL_PushEvent(&event);
        sdl_->dispatchEvents();
    }
    void click(float x, float y) {
        mouse(SDL_MOUSEBUTTONDOWN, x, y);
        mouse(SDL_MOUSEBUTTONUP, x, y);
        sdl_->dispatchEvents();
    }
    void key(SDL_Keycode keycode, Uint16 modifiers = KMOD_NONE) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = keycode;
        event.key.keysym.mod = modifiers;
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

// A resized window keeps the screen's shape between black bars, drawn at the scale that
// fills it (crisply: exactly as a screen composed at that scale), and clicks map through.
TEST_P(SdlWindowOnDummyDriver, AResizedWindowLetterboxesTheScreenAndMapsClicksThrough) {
    resize(800, 600);  // 1.25 pixels per point fill the height; 200 pixels of bars each side
    const auto& box = sdl_->placement();
    EXPECT_FLOAT_EQ(box.scale, 1.25f);
    EXPECT_EQ(box.x, 200);
    EXPECT_EQ(box.y, 0);
    click(274, 35);
    click(160, 200);
    EXPECT_EQ(log_.lines(), (std::vector<std::string>{"flash pressed", "TOUCH!"}));

    screen_.live().setCameraFrame(screen_pixels::solidPicture(64, 48, screen_pixels::kRed));
    sdl_->turnEnded();
    SDL_Surface* shown = SDL_GetWindowSurface(sdl_->sdlWindow());
    ASSERT_EQ(shown->w, 800);
    const auto pixel = [shown](int x, int y) {
        Uint8 r, g, b;
        SDL_GetRGB(static_cast<const Uint32*>(shown->pixels)[y * shown->pitch / 4 + x],
                   shown->format, &r, &g, &b);
        return std::array<int, 3>{r, g, b};
    };
    EXPECT_EQ(pixel(100, 300), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(pixel(700, 300), (std::array<int, 3>{0, 0, 0}));
    platform::display::ScreenCompositor reference(screen_.window, 1.25f);
    reference.compose(loop_.now());
    const auto& expected = reference.screen().pixels();
    int differing = 0;
    for (int y = 0; y < expected.height(); y += 3)
        for (int x = 0; x < expected.width(); x += 3) {
            const std::uint32_t p = expected.pixel(x, y);
            const auto got = pixel(200 + x, y);
            differing += got != std::array<int, 3>{static_cast<int>(p >> 16 & 0xFF),
                                                   static_cast<int>(p >> 8 & 0xFF),
                                                   static_cast<int>(p & 0xFF)};
        }
    EXPECT_EQ(differing, 0);
}

TEST_P(SdlWindowOnDummyDriver, ControlQAndControlWQuitAndF11GoesFullscreenAndBack) {
    key(SDLK_q);
    EXPECT_FALSE(loop_.quitRequested());
    key(SDLK_F11);
    EXPECT_NE(SDL_GetWindowFlags(sdl_->sdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    key(SDLK_F11);
    EXPECT_EQ(SDL_GetWindowFlags(sdl_->sdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    key(SDLK_w, KMOD_LCTRL);
    EXPECT_TRUE(loop_.quitRequested());
}

INSTANTIATE_TEST_SUITE_P(Scales, SdlWindowOnDummyDriver, testing::Values(1.0f, 1.5f));

// The dummy display is 1024 × 768: twice 480 points and a title bar do not fit.
TEST(SdlWindow, OpensWhollyOnTheScreenAtTheLargestScaleThatFits) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    for (const std::optional<float> asked : {std::optional<float>{}, std::optional<float>{2.0f}}) {
        std::string error;
        auto sdl = SdlWindow::open({.scale = asked}, error);
        ASSERT_TRUE(sdl) << error;
        EXPECT_FLOAT_EQ(sdl->scale(), 1.5f);
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(sdl->sdlWindow(), &x, &y);
        SDL_GetWindowSize(sdl->sdlWindow(), &w, &h);
        EXPECT_EQ(w * 3, h * 2);
        EXPECT_GE(x, 0);
        EXPECT_GE(y, 0);
        EXPECT_LE(x + w, 1024);
        EXPECT_LE(y + h, 768);
    }
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    platform::ui::setScreenScale(1);
}

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
