#include <gtest/gtest.h>

#include <SDL.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <tuple>

#include "platform/display/sdl_window.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/image_named.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/text_field.h"
#include "tests/display/window_fixture.h"
#include "tests/ui/screen_pixels.h"

namespace {

using platform::display::SdlWindow;
using platform::foundation::Point;
using platform::foundation::Rect;
using platform::foundation::RunLoop;
using platform::foundation::SystemClock;
using platform::foundation::SystemLog;
using window_fixture::ProbeScreen;
using Lines = std::vector<std::string>;

// The window back end on SDL's dummy video driver: events are pushed into SDL's queue as
// the system would deliver them.
class SdlWindowOnDummyDriver : public testing::TestWithParam<float> {
  protected:
    void SetUp() override {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        std::string error;
        sdl_ = SdlWindow::open({.scale = GetParam()}, error);
        ASSERT_TRUE(sdl_) << error;
        sdl_->show(screen_.window, loop_);
    }
    void TearDown() override {
        sdl_.reset();
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        platform::ui::setScreenScale(1);
    }

    // Pushes an event; once `dispatch`, hands SDL's queue to the window.
    void push(SDL_Event event, bool dispatch = true) {
        SDL_PushEvent(&event);
        if (dispatch) sdl_->dispatchEvents();
    }
    // A left mouse button event at a point of the screen, where the window shows it (the
    // dummy driver has one pixel per window unit).
    void mouse(Uint32 type, float x, float y, Uint32 which = 0, bool dispatch = false) {
        const auto& box = sdl_->placement();
        SDL_Event event{.type = type};
        const auto windowX = static_cast<Sint32>(std::lround(box.x + x * box.scale));
        const auto windowY = static_cast<Sint32>(std::lround(box.y + y * box.scale));
        if (type == SDL_MOUSEMOTION) {
            std::tie(event.motion.which, event.motion.x, event.motion.y) =
                std::tuple(which, windowX, windowY);
            event.motion.state = SDL_BUTTON_LMASK;
        } else {
            std::tie(event.button.which, event.button.x, event.button.y) =
                std::tuple(which, windowX, windowY);
            event.button.button = SDL_BUTTON_LEFT;
        }
        push(event, dispatch);
    }
    void finger(Uint32 type, SDL_FingerID id, Point at, bool dispatch = true) {
        SDL_Event event{.type = type};
        event.tfinger.fingerId = id;
        event.tfinger.x = at.x / 320.0f;
        event.tfinger.y = at.y / 480.0f;
        push(event, dispatch);
    }
    void click(float x, float y) {
        mouse(SDL_MOUSEBUTTONDOWN, x, y);
        mouse(SDL_MOUSEBUTTONUP, x, y, 0, true);
    }
    void key(SDL_Keycode keycode, Uint16 modifiers = KMOD_NONE, bool repeat = false) {
        SDL_Event event{.type = SDL_KEYDOWN};
        event.key.keysym.sym = keycode;
        event.key.keysym.mod = modifiers;
        event.key.repeat = repeat;
        push(event);
    }

    RunLoop loop_{std::make_shared<SystemClock>()};
    ProbeScreen screen_;
    std::unique_ptr<SdlWindow> sdl_;
    SystemLog::Capture log_;
};

TEST_P(SdlWindowOnDummyDriver, ClicksAndFingersReachTheControlUnderThemInPoints) {
    EXPECT_EQ(sdl_->scale(), GetParam());
    EXPECT_EQ(platform::ui::screenScale(), GetParam());
    click(274, 35);
    click(224, 452);
    click(160, 200);
    EXPECT_EQ(log_.lines(), (Lines{"flash pressed", "selected: 4", "TOUCH!"}));

    // A finger touches like the mouse, and SDL's mouse copies of it are left out.
    finger(SDL_FINGERDOWN, 7, {274, 35}, false);
    mouse(SDL_MOUSEBUTTONDOWN, 274, 35, SDL_TOUCH_MOUSEID);
    mouse(SDL_MOUSEBUTTONUP, 274, 35, SDL_TOUCH_MOUSEID);
    finger(SDL_FINGERUP, 7, {274, 35});
    EXPECT_EQ(log_.count("flash pressed"), 2);

    // Dragging the thumb changes the value continuously.
    const float y = 350 + 16.5f;
    log_.clear();
    mouse(SDL_MOUSEBUTTONDOWN, 30, y);
    mouse(SDL_MOUSEMOTION, 100, y);
    mouse(SDL_MOUSEMOTION, 200, y);
    mouse(SDL_MOUSEBUTTONUP, 200, y, 0, true);
    EXPECT_GE(log_.lines().size(), 2u);
    EXPECT_GT(screen_.slider->value(), 4.0f);
}

TEST_P(SdlWindowOnDummyDriver, KeysTouchThePictureAndTabsTypeTextAndQuit) {
    int escapes = 0;
    sdl_->setEscapeHandler([&] { ++escapes; });
    key(SDLK_SPACE);
    key(SDLK_2);
    key(SDLK_5);
    key(SDLK_6);  // no sixth item
    key(SDLK_ESCAPE);
    EXPECT_EQ(log_.lines(), (Lines{"TOUCH!", "selected: 2", "selected: 5"}));
    EXPECT_EQ(escapes, 1);

    auto field = std::make_shared<platform::ui::TextField>(Rect{0, 100, 300, 44},
                                                           platform::ui::TextField::Lines::Single);
    screen_.window->addSubview(field);
    field->becomeFirstResponder();
    SDL_Event text{.type = SDL_TEXTINPUT};
    std::strcpy(text.text.text, "carol@example.com");
    push(text);
    EXPECT_EQ(field->text(), "carol@example.com");
    field->removeFromSuperview();

    key(SDLK_q);
    EXPECT_FALSE(loop_.quitRequested());
    key(SDLK_F11);
    EXPECT_NE(SDL_GetWindowFlags(sdl_->sdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    key(SDLK_F11);
    EXPECT_EQ(SDL_GetWindowFlags(sdl_->sdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    key(SDLK_w, KMOD_LCTRL);
    EXPECT_TRUE(loop_.quitRequested());
}

TEST_P(SdlWindowOnDummyDriver, ClosingTheWindowQuitsTheLoop) {
    SDL_Event close{.type = SDL_WINDOWEVENT};
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    push(close, false);
    loop_.runFor(5.0);
    EXPECT_TRUE(loop_.quitRequested());
}

TEST_P(SdlWindowOnDummyDriver, PresentsOnlyWhenSomethingChanged) {
    sdl_->turnEnded();
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
    SDL_SetWindowSize(sdl_->sdlWindow(), 800, 600);  // as the window manager reports it
    SDL_Event resized{.type = SDL_WINDOWEVENT};
    resized.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    resized.window.data1 = 800;
    resized.window.data2 = 600;
    push(resized);
    // 1.25 pixels per point fill the height; 200 pixels of bars each side.
    EXPECT_FLOAT_EQ(sdl_->placement().scale, 1.25f);
    EXPECT_EQ(sdl_->placement().x, 200);
    EXPECT_EQ(sdl_->placement().y, 0);
    click(274, 35);
    click(160, 200);
    EXPECT_EQ(log_.lines(), (Lines{"flash pressed", "TOUCH!"}));

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
            const auto rgb = screen_pixels::rgbOf(expected.pixel(x, y));
            differing += pixel(200 + x, y) != std::array<int, 3>{rgb.r, rgb.g, rgb.b};
        }
    EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, SdlWindowOnDummyDriver, testing::Values(1.0f, 1.5f));

struct Zooming : platform::ui::ScrollViewDelegate {
    std::shared_ptr<platform::ui::View> view;
    std::shared_ptr<platform::ui::View> viewForZoomingInScrollView(
        platform::ui::ScrollView&) override {
        return view;
    }
};

// A picture twice the screen in a scroll view over the whole window, shown one to one; the
// wheel, keys and fingers arrive as the system would deliver them.
class SdlScrolling : public SdlWindowOnDummyDriver {
  protected:
    void SetUp() override {
        SdlWindowOnDummyDriver::SetUp();
        delegate_->view = std::make_shared<platform::ui::View>(Rect{0, 0, 640, 960});
        scroll_->setDelegate(delegate_);
        scroll_->addSubview(delegate_->view);
        scroll_->setContentSize({640, 960});
        scroll_->setMinimumZoomScale(0.5f);
        scroll_->setMaximumZoomScale(2.0f);
        screen_.window->addSubview(scroll_);
        sdl_->setEscapeHandler([this] { ++escapes_; });
    }
    void TearDown() override {
        SDL_SetModState(KMOD_NONE);
        SdlWindowOnDummyDriver::TearDown();
    }

    void wheel(float y, Point at) {
        SDL_Event event{.type = SDL_MOUSEWHEEL};
        event.wheel.y = static_cast<Sint32>(y);
        event.wheel.preciseY = y;
        event.wheel.mouseX = static_cast<Sint32>(at.x * GetParam());
        event.wheel.mouseY = static_cast<Sint32>(at.y * GetParam());
        push(event);
    }
    std::shared_ptr<platform::ui::ScrollView> scroll_ =
        std::make_shared<platform::ui::ScrollView>(Rect{0, 0, 320, 480});
    std::shared_ptr<Zooming> delegate_ = std::make_shared<Zooming>();
    int escapes_ = 0;
};

TEST_P(SdlScrolling, WheelScrollsTheViewUnderThePointerAndZoomsWithCtrl) {
    wheel(-1, {160, 240});  // towards the user
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 40}));
    wheel(-0.5f, {160, 240});  // a touchpad's half notch
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 60}));

    SDL_SetModState(KMOD_LCTRL);
    const Point pointer{100, 300};
    wheel(1, pointer);
    EXPECT_NEAR(scroll_->zoomScale(), 1.25f, 1e-6);
    // The content under the pointer, in points at either scale, stayed: (100, 360) before.
    EXPECT_NEAR(scroll_->contentOffset().x, 100 * 1.25f - 100, 0.01f);
    EXPECT_NEAR(scroll_->contentOffset().y, 360 * 1.25f - 300, 0.01f);
}

TEST_P(SdlScrolling, KeysScrollAndZoomAndEscapeStillAsksTheApplication) {
    key(SDLK_PAGEDOWN);
    key(SDLK_DOWN, KMOD_NONE, true);  // held down, it goes on
    EXPECT_EQ(scroll_->contentOffset().y, 480 - 40 + 40);
    key(SDLK_EQUALS);  // + without shift
    key(SDLK_KP_PLUS);
    EXPECT_NEAR(scroll_->zoomScale(), 1.5625f, 1e-6);
    key(SDLK_MINUS);
    key(SDLK_KP_MINUS);
    EXPECT_NEAR(scroll_->zoomScale(), 1.0f, 1e-6);
    key(SDLK_ESCAPE);
    key(SDLK_ESCAPE, KMOD_NONE, true);
    EXPECT_EQ(escapes_, 1);
}

TEST_P(SdlScrolling, ASecondFingerTurnsTheTouchIntoAPinch) {
    finger(SDL_FINGERDOWN, 1, {100, 240});
    EXPECT_TRUE(scroll_->isTracking());
    finger(SDL_FINGERDOWN, 2, {220, 240});
    EXPECT_FALSE(scroll_->isTracking());
    EXPECT_FALSE(screen_.window->isTouchDown());

    finger(SDL_FINGERMOTION, 1, {40, 240});  // 120 points apart, then 180
    EXPECT_NEAR(scroll_->zoomScale(), 1.5f, 1e-3);
    finger(SDL_FINGERMOTION, 2, {280, 240});  // 240
    EXPECT_NEAR(scroll_->zoomScale(), 2.0f, 1e-3);

    // One finger lifts: the pinch is over, and the other does nothing more.
    finger(SDL_FINGERUP, 1, {40, 240});
    const Point offset = scroll_->contentOffset();
    finger(SDL_FINGERMOTION, 2, {100, 100});
    finger(SDL_FINGERDOWN, 3, {160, 240});
    EXPECT_FALSE(scroll_->isTracking());
    EXPECT_EQ(scroll_->contentOffset(), offset);
    EXPECT_NEAR(scroll_->zoomScale(), 2.0f, 1e-3);
    finger(SDL_FINGERUP, 3, {160, 240});
    finger(SDL_FINGERUP, 2, {100, 100});

    // All lifted: the next finger touches again.
    finger(SDL_FINGERDOWN, 4, {160, 240});
    EXPECT_TRUE(scroll_->isTracking());
    finger(SDL_FINGERUP, 4, {160, 240});
}

INSTANTIATE_TEST_SUITE_P(Scales, SdlScrolling, testing::Values(1.0f, 1.5f));

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
        EXPECT_TRUE(x >= 0 && y >= 0 && x + w <= 1024 && y + h <= 768) << x << " " << y;
    }
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    platform::ui::setScreenScale(1);

    // Without any display it opens nothing and says why.
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string savedDisplay = display ? display : "", savedWayland = wayland ? wayland : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::string error;
    EXPECT_EQ(SdlWindow::open({}, error), nullptr);
    EXPECT_NE(error, "");
    if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
    if (wayland) setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
}

}  // namespace
