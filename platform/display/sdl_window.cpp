#include "platform/display/sdl_window.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/display/keyboard.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/graphics/decode_image.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/image_named.h"
#include "platform/ui/text_field.h"

namespace platform::display {

namespace {

constexpr int kPointsWide = 320;
constexpr int kPointsHigh = 480;
constexpr double kFrameInterval = 1.0 / 60.0;
constexpr std::int64_t kMouse = -1;
constexpr int kTabKeys = 5;
constexpr float kLeastPinchDistance = 1.0f;

float distance(foundation::Point a, foundation::Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

foundation::Point midpoint(foundation::Point a, foundation::Point b) {
    return {(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f};
}

std::optional<ui::Key> keyFromSdl(int keycode) {
    switch (keycode) {
        case SDLK_UP:
            return ui::Key::Up;
        case SDLK_DOWN:
            return ui::Key::Down;
        case SDLK_LEFT:
            return ui::Key::Left;
        case SDLK_RIGHT:
            return ui::Key::Right;
        case SDLK_PAGEUP:
            return ui::Key::PageUp;
        case SDLK_PAGEDOWN:
            return ui::Key::PageDown;
        case SDLK_HOME:
            return ui::Key::Home;
        case SDLK_END:
            return ui::Key::End;
        // + is the shifted = on many keyboards: = alone zooms in too, as in picture viewers.
        case SDLK_PLUS:
        case SDLK_EQUALS:
        case SDLK_KP_PLUS:
            return ui::Key::Plus;
        case SDLK_MINUS:
        case SDLK_KP_MINUS:
            return ui::Key::Minus;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return ui::Key::Return;
        case SDLK_TAB:
            return ui::Key::Tab;
        case SDLK_BACKSPACE:
            return ui::Key::Backspace;
        case SDLK_DELETE:
            return ui::Key::Delete;
        case SDLK_ESCAPE:
            return ui::Key::Escape;
        case SDLK_SPACE:
            return ui::Key::Space;
        default:
            return std::nullopt;
    }
}

// Held down, a key that moves, zooms or deletes goes on; one that touches or closes acts once.
bool repeatsWhileHeld(ui::Key key) {
    switch (key) {
        case ui::Key::Escape:
        case ui::Key::Space:
        case ui::Key::Return:
        case ui::Key::Tab:
        case ui::Key::Paste:
            return false;
        default:
            return true;
    }
}

// The usual paste shortcuts.
bool isPaste(int keycode, int modifiers) {
    return (keycode == SDLK_v && (modifiers & KMOD_CTRL) != 0) ||
           (keycode == SDLK_INSERT && (modifiers & KMOD_SHIFT) != 0);
}

std::string systemClipboardText() {
    char* text = SDL_GetClipboardText();
    std::string copy = text ? text : "";
    SDL_free(text);
    return copy;
}

double wallClock() {
    return foundation::SystemClock().now();
}

// Without a display SDL falls back to drivers that draw nowhere; they count only when asked
// for by name (SDL_VIDEODRIVER).
bool hasDisplay() {
    const std::string driver = SDL_GetCurrentVideoDriver();
    const bool invisible = driver == "offscreen" || driver == "dummy";
    return !invisible || SDL_GetHint(SDL_HINT_VIDEODRIVER) != nullptr;
}

// Room left above a window for the title bar that the window manager adds.
constexpr int kTitleBar = 40;

bool fits(float scale, const SDL_Rect& usable) {
    return kPointsWide * scale <= static_cast<float>(usable.w) &&
           kPointsHigh * scale + kTitleBar <= static_cast<float>(usable.h);
}

// The scale asked for if the window fits the usable area at it, else the largest usual one
// below it that fits.
float openingScale(std::optional<float> asked, const SDL_Rect& usable) {
    const float wanted = asked ? std::clamp(*asked, ui::kLeastScreenScale, ui::kGreatestScreenScale)
                               : ui::kGreatestScreenScale;
    if (asked && fits(wanted, usable)) return wanted;
    for (const float scale : {3.0f, 2.0f, 1.5f, 1.25f})
        if (scale <= wanted && fits(scale, usable)) return scale;
    return 1.0f;
}

SDL_Rect usableArea() {
    SDL_Rect usable{0, 0, kPointsWide, kPointsHigh + kTitleBar};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) SDL_GetDisplayBounds(0, &usable);
    return usable;
}

// SDL wants straight alpha; our pictures keep it premultiplied.
std::vector<std::uint32_t> straightAlpha(const graphics::PixelBuffer& pixels) {
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<std::size_t>(pixels.width()) * pixels.height());
    const bool opaque = pixels.format() == graphics::PixelBuffer::Format::Rgb24;
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x) {
            const std::uint32_t p = pixels.pixel(x, y);
            const std::uint32_t a = opaque ? 255 : p >> 24;
            if (a == 0 || a == 255) {
                out.push_back(opaque ? p | 0xFF000000u : p);
                continue;
            }
            auto channel = [&](int shift) {
                return std::min(255u, ((p >> shift & 0xFF) * 255 + a / 2) / a);
            };
            out.push_back(a << 24 | channel(16) << 16 | channel(8) << 8 | channel(0));
        }
    return out;
}

}  // namespace

std::unique_ptr<SdlWindow> SdlWindow::open(const WindowOptions& options, std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<SdlWindow> window(new SdlWindow);
    if (!hasDisplay()) {
        error = std::string("no display (SDL found only its ") + SDL_GetCurrentVideoDriver() +
                " video driver)";
        return nullptr;
    }
    if (!window->create(options, error)) return nullptr;  // the destructor closes SDL video
    return window;
}

bool SdlWindow::create(const WindowOptions& options, std::string& error) {
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // On X11 SDL would present through OpenGL, which without a graphics card is Mesa's
    // software rasteriser: a camera frame measured 5.8 ms composed and presented that way,
    // 2.3 ms through memory shared with the X server. SDL_FRAMEBUFFER_ACCELERATION=1 in the
    // environment asks for OpenGL all the same.
    if (std::string(SDL_GetCurrentVideoDriver()) == "x11")
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    const SDL_Rect usable = usableArea();
    const float scale = openingScale(options.scale, usable);
    if (options.scale && scale != *options.scale)
        foundation::logInfo("window: scale %.2f does not fit the screen; opening at %.2f",
                            static_cast<double>(*options.scale), static_cast<double>(scale));
    const int width = static_cast<int>(std::lround(kPointsWide * scale));
    const int height = static_cast<int>(std::lround(kPointsHigh * scale));
    // Centred in the usable area, below room for a title bar: always wholly on the screen.
    const int x = usable.x + std::max(0, (usable.w - width) / 2);
    const int y = usable.y + std::max(0, (usable.h - height + kTitleBar) / 2);
    sdlWindow_ =
        SDL_CreateWindow(options.title.c_str(), x, y, width, height,
                         SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE);
    wakeEvent_ = SDL_RegisterEvents(1);
    if (!sdlWindow_ || wakeEvent_ == static_cast<std::uint32_t>(-1)) {
        error = SDL_GetError();
        return false;
    }
    // Where the system counts several pixels per window unit, keep the window's pixel size.
    int units = 0, pixels = 0, unused = 0;
    SDL_GetWindowSize(sdlWindow_, &units, &unused);
    SDL_GetWindowSizeInPixels(sdlWindow_, &pixels, &unused);
    density_ =
        units > 0 ? std::max(1.0f, static_cast<float>(pixels) / static_cast<float>(units)) : 1.0f;
    if (density_ > 1)
        SDL_SetWindowSize(sdlWindow_, static_cast<int>(std::lround(width / density_)),
                          static_cast<int>(std::lround(height / density_)));
    SDL_SetWindowMinimumSize(sdlWindow_, static_cast<int>(std::lround(kPointsWide / density_)),
                             static_cast<int>(std::lround(kPointsHigh / density_)));
    ui::setScreenScale(scale);
    layOut();
    setIcon();
    return true;
}

SdlWindow::~SdlWindow() {
    // First: once the loop lets go, no worker posting a result is in wake() or can enter it.
    if (loop_) loop_->setEventSource(nullptr);
    if (window_) ui::setClipboardAccess({});
    if (sdlWindow_) SDL_DestroyWindow(sdlWindow_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlWindow::setIcon() {
    const auto path = foundation::Bundle::main().pathForFile("orvex.png");
    if (!path) return;
    const auto decoded = graphics::decodeImageFile(*path);
    if (!decoded) {
        foundation::logWarning("window icon: %@", decoded.error());
        return;
    }
    const auto& pixels = decoded.value()->pixels();
    auto straight = straightAlpha(pixels);
    SDL_Surface* icon =
        SDL_CreateRGBSurfaceWithFormatFrom(straight.data(), pixels.width(), pixels.height(), 32,
                                           pixels.width() * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!icon) return;
    SDL_SetWindowIcon(sdlWindow_, icon);
    SDL_FreeSurface(icon);
}

void SdlWindow::show(std::shared_ptr<ui::Window> window, foundation::RunLoop& loop) {
    window_ = std::move(window);
    compositor_ = std::make_unique<ScreenCompositor>(window_, box_.scale);
    loop_ = &loop;
    loop.setEventSource(this);
    ui::setClipboardAccess(
        {systemClipboardText, [](const std::string& text) { SDL_SetClipboardText(text.c_str()); }});
    // SDL starts with text input on; it is on only while a field takes text, so that an
    // input method does not hold back the keys of the camera screen.
    SDL_StopTextInput();
    textInput_ = false;
    SDL_ShowWindow(sdlWindow_);
    exposed_ = true;
}

void SdlWindow::dispatchEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) handle(event);
}

void SdlWindow::waitForEvents(double timeout) {
    double wait = timeout;
    if (nextFrameAt_) {
        const double untilFrame = std::max(0.0, *nextFrameAt_ - wallClock());
        wait = wait < 0.0 ? untilFrame : std::min(wait, untilFrame);
    }
    const int milliseconds = wait < 0.0 ? -1 : static_cast<int>(std::ceil(wait * 1000.0));
    SDL_WaitEventTimeout(nullptr, milliseconds);  // leaves the event for dispatchEvents
}

void SdlWindow::wake() {
    SDL_Event event{};
    event.type = wakeEvent_;
    SDL_PushEvent(&event);
}

// Presents when the picture changed or the window needs it again, but never twice within
// one 60th of a second: a movement then shows at 60 frames a second.
void SdlWindow::turnEnded() {
    nextFrameAt_.reset();
    if (!compositor_) return;
    followTextInput();
    const double now = foundation::RunLoop::main().now();
    const double wall = wallClock();
    if (!exposed_ && !compositor_->needsComposition(now)) {
        // Something turning may look the same for a while: look again a frame later.
        if (compositor_->isAnimating(now)) nextFrameAt_ = wall + kFrameInterval;
        return;
    }
    if (lastPresent_ >= 0.0 && wall < lastPresent_ + kFrameInterval) {
        nextFrameAt_ = lastPresent_ + kFrameInterval;
        return;
    }
    compositor_->compose(now);
    present(exposed_);
    lastPresent_ = wall;
    exposed_ = false;
    if (compositor_->isAnimating(now)) nextFrameAt_ = wall + kFrameInterval;
}

void SdlWindow::followTextInput() {
    const bool editing = window_->isEditingText();
    if (editing != textInput_) {
        textInput_ = editing;
        if (editing) {
            SDL_StartTextInput();
        } else {
            SDL_StopTextInput();
        }
    }
    // An input method shows what it composes next to the caret.
    auto* field = editing ? dynamic_cast<ui::TextField*>(window_->firstResponder().get()) : nullptr;
    if (!field) return;
    const auto caret = field->caretRect();
    const auto origin = field->convertToWindow(caret.origin);
    const foundation::Rect place{origin.x, origin.y, caret.width(), caret.height()};
    if (place == inputMethodPlace_) return;
    inputMethodPlace_ = place;
    const float unit = box_.scale / density_;  // window units per point
    SDL_Rect rect{static_cast<int>((box_.x + place.x() * box_.scale) / density_),
                  static_cast<int>((box_.y + place.y() * box_.scale) / density_),
                  static_cast<int>(std::ceil(place.width() * unit)),
                  static_cast<int>(std::ceil(place.height() * unit))};
    SDL_SetTextInputRect(&rect);
}

// Through the window's own surface: SDL puts it in memory shared with the X server, or in
// a texture where the system's graphics are accelerated.
void SdlWindow::present(bool whole) {
    SDL_Surface* target = SDL_GetWindowSurface(sdlWindow_);
    const auto& pixels = compositor_->screen().pixels();
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint8_t*>(pixels.data()), pixels.width(), pixels.height(), 32,
        pixels.stride(), SDL_PIXELFORMAT_RGB888);
    if (!target || !source) {
        if (!presentFailureLogged_)
            foundation::logError("window: cannot present: %@", SDL_GetError());
        presentFailureLogged_ = true;
        SDL_FreeSurface(source);
        return;
    }
    // The screen is drawn at the placement's own scale, so it goes in pixel for pixel.
    SDL_Rect from{0, 0, source->w, source->h};
    if (!whole) {
        const auto change = compositor_->lastChange();
        const int left = std::max(0, static_cast<int>(std::floor(change.x() * box_.scale)));
        const int top = std::max(0, static_cast<int>(std::floor(change.y() * box_.scale)));
        const int right =
            std::min(source->w, static_cast<int>(std::ceil(change.maxX() * box_.scale)));
        const int bottom =
            std::min(source->h, static_cast<int>(std::ceil(change.maxY() * box_.scale)));
        from = {left, top, std::max(0, right - left), std::max(0, bottom - top)};
    }
    SDL_Rect to{box_.x + from.x, box_.y + from.y, from.w, from.h};
    if (whole) fillBars(target);
    SDL_BlitSurface(source, &from, target, &to);
    SDL_FreeSurface(source);
    if (whole) {
        SDL_UpdateWindowSurface(sdlWindow_);
    } else {
        SDL_UpdateWindowSurfaceRects(sdlWindow_, &to, 1);
    }
    ++presentedFrames_;
}

void SdlWindow::fillBars(SDL_Surface* target) const {
    const Uint32 black = SDL_MapRGB(target->format, 0, 0, 0);
    const int right = box_.x + box_.width;
    const int bottom = box_.y + box_.height;
    const SDL_Rect bars[] = {{0, 0, target->w, box_.y},
                             {0, bottom, target->w, target->h - bottom},
                             {0, box_.y, box_.x, box_.height},
                             {right, box_.y, target->w - right, box_.height}};
    for (const SDL_Rect& bar : bars)
        if (bar.w > 0 && bar.h > 0) SDL_FillRect(target, &bar, black);
}

// The largest 2 : 3 screen the window holds, centred; drawn anew when its scale changes.
void SdlWindow::layOut() {
    int width = 0, height = 0;
    SDL_GetWindowSizeInPixels(sdlWindow_, &width, &height);
    const float scale = std::clamp(
        std::min(static_cast<float>(width) / kPointsWide, static_cast<float>(height) / kPointsHigh),
        ui::kLeastScreenScale, ui::kGreatestScreenScale);
    if (compositor_ && scale != box_.scale)
        compositor_ = std::make_unique<ScreenCompositor>(window_, scale);
    const int screenWidth = compositor_ ? compositor_->screen().pixels().width()
                                        : static_cast<int>(std::ceil(kPointsWide * scale));
    const int screenHeight = compositor_ ? compositor_->screen().pixels().height()
                                         : static_cast<int>(std::ceil(kPointsHigh * scale));
    box_ = {scale, std::max(0, (width - screenWidth) / 2), std::max(0, (height - screenHeight) / 2),
            screenWidth, screenHeight};
    exposed_ = true;
}

void SdlWindow::toggleFullscreen() {
    const bool full = (SDL_GetWindowFlags(sdlWindow_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    SDL_SetWindowFullscreen(sdlWindow_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    layOut();
}

foundation::Point SdlWindow::pointFromWindow(float x, float y) const {
    return {(x * density_ - static_cast<float>(box_.x)) / box_.scale,
            (y * density_ - static_cast<float>(box_.y)) / box_.scale};
}

// Fingers are reported across the whole window, 0 to 1 each way.
foundation::Point SdlWindow::fingerPoint(const SDL_Event& event) const {
    int width = 0, height = 0;
    SDL_GetWindowSize(sdlWindow_, &width, &height);
    return pointFromWindow(event.tfinger.x * static_cast<float>(width),
                           event.tfinger.y * static_cast<float>(height));
}

void SdlWindow::handle(const SDL_Event& event) {
    if (!window_) return;
    switch (event.type) {
        case SDL_QUIT:
            if (loop_) loop_->quit(0);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE && loop_) loop_->quit(0);
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) exposed_ = true;
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) layOut();
            break;
        case SDL_MOUSEBUTTONDOWN:
            // Touches arrive as finger events; SDL's mouse copies of them are left out.
            if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT ||
                activeTouch_ || !fingers_.empty())
                break;
            activeTouch_ = kMouse;
            window_->touchDown(pointFromWindow(event.button.x, event.button.y));
            break;
        case SDL_MOUSEMOTION:
            if (activeTouch_ == kMouse)
                window_->touchMoved(pointFromWindow(event.motion.x, event.motion.y));
            break;
        case SDL_MOUSEBUTTONUP:
            if (activeTouch_ != kMouse || event.button.button != SDL_BUTTON_LEFT) break;
            activeTouch_.reset();
            window_->touchUp(pointFromWindow(event.button.x, event.button.y));
            break;
        case SDL_MOUSEWHEEL:
            handleWheel(event);
            break;
        case SDL_FINGERDOWN:
            fingerDown(event.tfinger.fingerId, fingerPoint(event));
            break;
        case SDL_FINGERMOTION:
            fingerMoved(event.tfinger.fingerId, fingerPoint(event));
            break;
        case SDL_FINGERUP:
            fingerUp(event.tfinger.fingerId, fingerPoint(event));
            break;
        case SDL_KEYDOWN:
            handleKey(event.key.keysym.sym, event.key.keysym.mod, event.key.repeat != 0);
            break;
        case SDL_TEXTINPUT:
            window_->insertText(event.text.text);
            break;
        default:
            break;
    }
}

void SdlWindow::handleWheel(const SDL_Event& event) {
    if (event.wheel.which == SDL_TOUCH_MOUSEID) return;
    // Taken as reported: where the system flips the wheel for natural scrolling, that is
    // how the user wants content to move. A touchpad reports fractions of a notch.
    ui::WheelEvent wheel;
    wheel.locationInWindow = pointFromWindow(static_cast<float>(event.wheel.mouseX),
                                             static_cast<float>(event.wheel.mouseY));
    wheel.dx = event.wheel.preciseX;
    wheel.dy = event.wheel.preciseY;
    wheel.ctrl = (SDL_GetModState() & KMOD_CTRL) != 0;
    window_->scrollWheel(wheel);
}

void SdlWindow::fingerDown(std::int64_t finger, foundation::Point point) {
    if (fingers_.empty() && !activeTouch_) {
        fingers_.push_back({finger, point});
        activeTouch_ = finger;
        window_->touchDown(point);
        return;
    }
    // A second finger: what the first one began was the start of a pinch.
    if (fingers_.size() != 1 || activeTouch_ != fingers_.front().id) return;
    window_->touchCancelled(fingers_.front().point);
    activeTouch_.reset();
    fingers_.push_back({finger, point});
    pinchDistance_ = distance(fingers_[0].point, fingers_[1].point);
}

void SdlWindow::fingerMoved(std::int64_t finger, foundation::Point point) {
    auto moved = std::find_if(fingers_.begin(), fingers_.end(),
                              [&](const Finger& f) { return f.id == finger; });
    if (moved == fingers_.end()) return;
    moved->point = point;
    if (activeTouch_ == finger) {
        window_->touchMoved(point);
        return;
    }
    if (fingers_.size() != 2) return;
    const float now = distance(fingers_[0].point, fingers_[1].point);
    // Fingers almost on one spot give no usable ratio; wait until they part.
    if (pinchDistance_ >= kLeastPinchDistance && now >= kLeastPinchDistance)
        window_->magnify(midpoint(fingers_[0].point, fingers_[1].point), now / pinchDistance_);
    pinchDistance_ = now;
}

void SdlWindow::fingerUp(std::int64_t finger, foundation::Point point) {
    std::erase_if(fingers_, [&](const Finger& f) { return f.id == finger; });
    if (activeTouch_ != finger) return;
    activeTouch_.reset();
    window_->touchUp(point);
}

void SdlWindow::handleKey(int keycode, int modifiers, bool repeat) {
    if ((keycode == SDLK_q || keycode == SDLK_w) && (modifiers & KMOD_CTRL) != 0) {
        if (loop_) loop_->quit(0);
        return;
    }
    if (keycode == SDLK_F11) {
        if (!repeat) toggleFullscreen();
        return;
    }
    // A key stands in for a finger only while none is on the screen, pinching included.
    const bool fingersDown = activeTouch_ || !fingers_.empty();
    if (keycode >= SDLK_1 && keycode < SDLK_1 + kTabKeys) {
        if (!repeat && !fingersDown) pressDigit(*window_, keycode - SDLK_1 + 1);
        return;
    }
    const auto key = isPaste(keycode, modifiers) ? ui::Key::Paste : keyFromSdl(keycode);
    if (!key || (repeat && !repeatsWhileHeld(*key))) return;
    if (*key == ui::Key::Space && fingersDown) return;
    pressKey(*window_, {*key, (modifiers & KMOD_CTRL) != 0, (modifiers & KMOD_SHIFT) != 0},
             escapeHandler_);
}

}  // namespace platform::display
