#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/display/screen_compositor.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/window.h"

struct SDL_Window;
struct SDL_Surface;
union SDL_Event;

namespace platform::display {

struct WindowOptions {
    // Pixels per point the window opens at, 1 to 4; by default the largest of 3, 2, 1.5,
    // 1.25 and 1 at which the whole window fits the display's usable area. A scale that
    // does not fit gives way to the largest that does.
    std::optional<float> scale;
    std::string title = "Orvex";
};

// The screen in an SDL2 window: it shows the composed view tree and feeds the main loop
// with the window's events, as the loop's event source. Mouse presses and finger touches
// reach the ui::Window in points, exactly as a headless tap does; closing the window quits
// the loop. A frame is presented only when something changed, at most 60 times a second,
// and an idle window sleeps in SDL_WaitEventTimeout.
//
// The window can be resized and made fullscreen (F11): the screen keeps its 2 : 3 shape,
// drawn afresh at the largest scale that fits, centred between black bars, and input is
// mapped through the same placement. Ctrl+Q and Ctrl+W quit.
//
// The mouse wheel scrolls what lies under the pointer (with Ctrl it zooms); a second
// finger turns a touch into a pinch. Keys go to the window's responders first (see
// keyboard.h): arrows, Page Up/Down, Home, End, + and - move and zoom a scroll view; Space
// touches the live picture, 1 to 5 the tab bar's items, Escape calls the handler the
// application sets. While a text field is the first responder, SDL's text input is on and
// its text goes to the field (Space and the digits then only type); Ctrl+V pastes from the
// system's clipboard, which backs ui::clipboardText() while the window is shown.
class SdlWindow final : public foundation::EventSource {
  public:
    // Opens the window, still hidden, and sets the screen scale that pictures are loaded
    // for (ui::setScreenScale). Null, with the reason in `error`, where no display can be
    // opened.
    static std::unique_ptr<SdlWindow> open(const WindowOptions& options, std::string& error);
    ~SdlWindow() override;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    // Pixels per point the screen is drawn at now.
    float scale() const { return box_.scale; }
    // Where the screen lies in the window, in pixels, and the window's own size in pixels.
    struct Placement {
        float scale = 1;
        int x = 0, y = 0, width = 0, height = 0;
    };
    const Placement& placement() const { return box_; }
    // The SDL window itself, for what SDL alone can do with it (and for tests).
    SDL_Window* sdlWindow() const { return sdlWindow_; }

    // Shows `window` and becomes the event source of `loop`, which must outlive this.
    void show(std::shared_ptr<ui::Window> window,
              foundation::RunLoop& loop = foundation::RunLoop::main());
    void setEscapeHandler(std::function<void()> handler) { escapeHandler_ = std::move(handler); }

    // Null until show().
    ScreenCompositor* compositor() { return compositor_.get(); }
    std::uint64_t presentedFrames() const { return presentedFrames_; }

    void dispatchEvents() override;
    void waitForEvents(double timeout) override;
    void wake() override;
    void turnEnded() override;

  private:
    SdlWindow() = default;
    bool create(const WindowOptions& options, std::string& error);
    void handle(const SDL_Event& event);
    void handleKey(int keycode, int modifiers, bool repeat);
    void handleWheel(const SDL_Event& event);
    void fingerDown(std::int64_t finger, foundation::Point point);
    void fingerMoved(std::int64_t finger, foundation::Point point);
    void fingerUp(std::int64_t finger, foundation::Point point);
    foundation::Point pointFromWindow(float x, float y) const;
    foundation::Point fingerPoint(const SDL_Event& event) const;
    void layOut();
    void toggleFullscreen();
    // Presents the whole window, or only what the last composition changed.
    void present(bool whole);
    void fillBars(SDL_Surface* target) const;
    void setIcon();
    void followTextInput();

    SDL_Window* sdlWindow_ = nullptr;
    std::uint32_t wakeEvent_ = 0;
    Placement box_;
    float density_ = 1;  // pixels per window unit (above 1 on high-density displays)

    std::shared_ptr<ui::Window> window_;
    std::unique_ptr<ScreenCompositor> compositor_;
    foundation::RunLoop* loop_ = nullptr;
    std::function<void()> escapeHandler_;

    // The finger or mouse whose touch is down, if any; one touch at a time.
    std::optional<std::int64_t> activeTouch_;
    // The fingers on the screen that count: one touching, two pinching, or the one left of
    // a pinch, which does nothing more until it lifts.
    struct Finger {
        std::int64_t id;
        foundation::Point point;
    };
    std::vector<Finger> fingers_;
    float pinchDistance_ = 0.0f;
    bool exposed_ = false;
    bool textInput_ = false;
    foundation::Rect inputMethodPlace_;
    double lastPresent_ = -1.0;
    std::optional<double> nextFrameAt_;
    std::uint64_t presentedFrames_ = 0;
    bool presentFailureLogged_ = false;
};

}  // namespace platform::display
