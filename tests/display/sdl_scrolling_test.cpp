#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/display/sdl_window.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/image_named.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/window.h"

namespace {

using platform::display::SdlWindow;
using platform::foundation::Point;
using platform::foundation::Rect;
using platform::foundation::RunLoop;
using platform::foundation::SystemClock;
using platform::ui::ScrollView;
using platform::ui::View;

struct Zooming : platform::ui::ScrollViewDelegate {
    std::shared_ptr<View> view;
    std::shared_ptr<View> viewForZoomingInScrollView(ScrollView&) override { return view; }
};

// A picture twice the screen in a scroll view over the whole window, shown one to one, on
// SDL's dummy driver; the wheel, keys and fingers arrive as the system would deliver them.
class SdlScrolling : public testing::TestWithParam<float> {
  protected:
    void SetUp() override {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        std::string error;
        sdl_ = SdlWindow::open({.scale = scale()}, error);
        ASSERT_TRUE(sdl_) << error;
        delegate_->view = std::make_shared<View>(Rect{0, 0, 640, 960});
        scroll_->setDelegate(delegate_);
        scroll_->addSubview(delegate_->view);
        scroll_->setContentSize({640, 960});
        scroll_->setMinimumZoomScale(0.5f);
        scroll_->setMaximumZoomScale(2.0f);
        window_->addSubview(scroll_);
        sdl_->show(window_, loop_);
        sdl_->setEscapeHandler([this] { ++escapes_; });
    }
    void TearDown() override {
        SDL_SetModState(KMOD_NONE);
        sdl_.reset();
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        platform::ui::setScreenScale(1);
    }
    float scale() const { return GetParam(); }

    void wheel(float y, Point at) {
        SDL_Event event{};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.y = static_cast<Sint32>(y);
        event.wheel.preciseY = y;
        event.wheel.mouseX = static_cast<Sint32>(at.x * scale());
        event.wheel.mouseY = static_cast<Sint32>(at.y * scale());
        SDL_PushEvent(&event);
        sdl_->dispatchEvents();
    }
    void key(SDL_Keycode keycode, bool repeat = false) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = keycode;
        event.key.repeat = repeat ? 1 : 0;
        SDL_PushEvent(&event);
        sdl_->dispatchEvents();
    }
    void finger(Uint32 type, SDL_FingerID id, Point at) {
        SDL_Event event{};
        event.type = type;
        event.tfinger.fingerId = id;
        event.tfinger.x = at.x / 320.0f;
        event.tfinger.y = at.y / 480.0f;
        SDL_PushEvent(&event);
        sdl_->dispatchEvents();
    }

    RunLoop loop_{std::make_shared<SystemClock>()};
    std::shared_ptr<platform::ui::Window> window_ = std::make_shared<platform::ui::Window>();
    std::shared_ptr<ScrollView> scroll_ = std::make_shared<ScrollView>(Rect{0, 0, 320, 480});
    std::shared_ptr<Zooming> delegate_ = std::make_shared<Zooming>();
    std::unique_ptr<SdlWindow> sdl_;
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
    key(SDLK_DOWN, true);  // held down, it goes on
    EXPECT_EQ(scroll_->contentOffset().y, 480 - 40 + 40);
    key(SDLK_EQUALS);  // + without shift
    key(SDLK_KP_PLUS);
    EXPECT_NEAR(scroll_->zoomScale(), 1.5625f, 1e-6);
    key(SDLK_MINUS);
    key(SDLK_KP_MINUS);
    EXPECT_NEAR(scroll_->zoomScale(), 1.0f, 1e-6);
    key(SDLK_ESCAPE);
    key(SDLK_ESCAPE, true);
    EXPECT_EQ(escapes_, 1);
}

TEST_P(SdlScrolling, ASecondFingerTurnsTheTouchIntoAPinch) {
    finger(SDL_FINGERDOWN, 1, {100, 240});
    EXPECT_TRUE(scroll_->isTracking());
    finger(SDL_FINGERDOWN, 2, {220, 240});
    EXPECT_FALSE(scroll_->isTracking());
    EXPECT_FALSE(window_->isTouchDown());

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

}  // namespace
