// The screen's costs: composing (and, in a window, presenting) one camera frame at scale 2
// under a full overlay, drawing the overlay itself, panning and zooming a 12-megapixel
// photograph on the preview screen, and the CPU an idle window uses.
// The window benchmarks need a display; on a machine without one run them under Xvfb:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench_screen
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/display/screen_compositor.h"
#include "platform/display/sdl_window.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/reduced_copies.h"
#include "platform/media/live_picture_view.h"
#include "platform/ui/activity_indicator.h"
#include "platform/ui/button.h"
#include "platform/ui/image_named.h"
#include "platform/ui/image_view.h"
#include "platform/ui/label.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/slider.h"
#include "platform/ui/tab_bar.h"
#include "platform/ui/window.h"

namespace {

using namespace platform;
using foundation::Rect;

constexpr int kScale = 2;
constexpr double kCameraInterval = 1.0 / 30.0;

// A picture from the resources, or a plain stand-in of the same size where it is missing.
graphics::ImagePtr picture(const char* name, int width, int height) {
    if (auto image = ui::imageNamed(name)) return image;
    auto pixels = std::make_shared<graphics::PixelBuffer>(width * kScale, height * kScale,
                                                          graphics::PixelBuffer::Format::Argb32);
    for (int y = 0; y < pixels->height(); ++y)
        for (int x = 0; x < pixels->width(); ++x) pixels->setPixel(x, y, 0xC0202024u);
    return std::make_shared<graphics::Image>(pixels, graphics::ImageOrientation::Up, kScale);
}

// A 640 × 480 preview frame from a phone held upright: stored sideways, tagged Right.
graphics::ImagePtr cameraFrame(int seed) {
    auto pixels =
        std::make_shared<graphics::PixelBuffer>(640, 480, graphics::PixelBuffer::Format::Rgb24);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            pixels->setPixel(x, y,
                             0xFF000000u | static_cast<std::uint32_t>((x + seed) & 0xFF) << 16 |
                                 static_cast<std::uint32_t>(y & 0xFF) << 8 |
                                 static_cast<std::uint32_t>((x ^ y) & 0xFF));
    return std::make_shared<graphics::Image>(pixels, graphics::ImageOrientation::Right, 1.0f);
}

std::shared_ptr<ui::Button> buttonWith(const char* background, Rect frame) {
    auto button = ui::Button::buttonWithType();
    button->setBackgroundImage(picture(background, 102, 40));
    button->setFrame(frame);
    return button;
}

// The capture screen's overlay with the sidebar open in Timer mode: everything shown.
struct CaptureScreen {
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>();
    std::shared_ptr<media::LivePictureView> live =
        std::make_shared<media::LivePictureView>(Rect{0, 0, 320, 480});

    CaptureScreen() {
        ui::setScreenScale(kScale);
        auto main = std::make_shared<ui::View>(Rect{0, 0, 320, 480});
        auto back = std::make_shared<ui::ImageView>(picture("slider2.png", 298, 33));
        back->setFrame({15, 350, 298, 33});
        auto slider = std::make_shared<ui::Slider>(Rect{15, 350, 298, 33});
        slider->setMinimumValue(1.0f);
        slider->setMaximumValue(8.0f);
        slider->setValue(3.0f);
        slider->setMinimumTrackImage(picture("empty.png", 1, 1));
        slider->setMaximumTrackImage(picture("empty.png", 1, 1));
        slider->setThumbImage(picture("slider1.png", 30, 30));
        auto sidebar = std::make_shared<ui::ImageView>(picture("sidebar.png", 131, 358));
        sidebar->setFrame({-14, 40, 131, 358});
        auto flash = buttonWith("button.png", {240, 15, 68, 40});
        flash->setImage(picture("flash.png", 68, 40));
        main->addSubview(flash);
        main->addSubview(back);
        main->addSubview(slider);
        main->addSubview(sidebar);
        auto side = ui::Button::buttonWithType();
        side->setImage(picture("b_close.png", 90, 185));
        side->setFrame({83, 126, 90, 185});
        main->addSubview(side);
        const char* options[] = {"3s_.png", "5s.png",   "10s.png", "15s.png",
                                 "30s.png", "std_.png", "5.png",   "8.png"};
        const float ys[] = {180, 222, 264, 306, 348, 50, 92, 134};
        for (int i = 0; i < 8; ++i) main->addSubview(buttonWith(options[i], {5, ys[i], 102, 40}));
        auto countdown = std::make_shared<ui::ImageView>(picture("countdown.png", 200, 90));
        countdown->setFrame({60, 150, 200, 90});
        auto remain = std::make_shared<ui::Label>(Rect{60, 150, 200, 90});
        remain->setText("00:12");
        remain->setFontSize(48.0f);
        remain->setBold(true);
        remain->setTextColor(ui::Color::white());
        remain->setTextAlignment(ui::TextAlignment::Center);
        main->addSubview(countdown);
        main->addSubview(remain);
        auto tabBar = std::make_shared<ui::TabBar>(Rect{0, 425, 320, 55});
        std::vector<std::shared_ptr<ui::TabBarItem>> items;
        const char* titles[] = {"Quick Shot", "Zoom", "Timer", "Timer Loop", "Library"};
        const char* icons[] = {"quickshot.png", "zoom.png", "timer.png", "time_lapse.png",
                               "gallery.png"};
        for (int i = 0; i < 5; ++i)
            items.push_back(
                std::make_shared<ui::TabBarItem>(titles[i], picture(icons[i], 30, 30), i + 1));
        tabBar->setItems(items);
        tabBar->setSelectedItem(items[2]);
        main->addSubview(tabBar);
        live->addSubview(main);
        window->addSubview(live);
        window->makeKeyAndVisible();
    }
};

void BM_ComposeCameraFrame(benchmark::State& state) {
    CaptureScreen screen;
    display::ScreenCompositor compositor(screen.window, kScale);
    const graphics::ImagePtr frames[] = {cameraFrame(0), cameraFrame(1)};
    screen.live->setCameraFrame(frames[1]);
    compositor.compose(0.0);
    int next = 0;
    for (auto _ : state) {
        screen.live->setCameraFrame(frames[next]);
        next ^= 1;
        compositor.compose(0.0);
    }
    if (compositor.counts().layerCompositions != 1) state.SkipWithError("overlay was redrawn");
}
BENCHMARK(BM_ComposeCameraFrame)->Unit(benchmark::kMillisecond);

// For comparison: what a change of the views costs (the overlay drawn anew).
void BM_ComposeChangedOverlay(benchmark::State& state) {
    CaptureScreen screen;
    display::ScreenCompositor compositor(screen.window, kScale);
    screen.live->setCameraFrame(cameraFrame(0));
    for (auto _ : state) {
        screen.window->setNeedsDisplay();
        compositor.compose(0.0);
    }
}
BENCHMARK(BM_ComposeChangedOverlay)->Unit(benchmark::kMillisecond);

// A 12-megapixel photograph as the album delivers it, made upright.
graphics::ImagePtr photograph() {
    static const graphics::ImagePtr image = [] {
        auto pixels = std::make_shared<graphics::PixelBuffer>(4032, 3024,
                                                              graphics::PixelBuffer::Format::Rgb24);
        for (int y = 0; y < pixels->height(); ++y)
            for (int x = 0; x < pixels->width(); ++x)
                pixels->setPixel(x, y,
                                 0xFF000000u | static_cast<std::uint32_t>(x * 255 / 4032) << 16 |
                                     static_cast<std::uint32_t>(y * 255 / 3024) << 8 |
                                     static_cast<std::uint32_t>((x ^ y) & 0xFF));
        return graphics::Image::withPixels(pixels);
    }();
    return image;
}

// The preview screen's picture: a zooming scroll view over the photograph at its own size.
struct PreviewScreen : ui::ScrollViewDelegate {
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>();
    std::shared_ptr<ui::ScrollView> scroll =
        std::make_shared<ui::ScrollView>(Rect{0, 44, 320, 436});
    std::shared_ptr<ui::ImageView> picture = std::make_shared<ui::ImageView>(photograph());

    std::shared_ptr<ui::View> viewForZoomingInScrollView(ui::ScrollView&) override {
        return picture;
    }
};

std::shared_ptr<PreviewScreen> previewScreen() {
    ui::setScreenScale(kScale);
    auto screen = std::make_shared<PreviewScreen>();
    screen->scroll->setContentSize(screen->picture->frame().size);
    screen->scroll->setDelegate(screen);
    screen->scroll->addSubview(screen->picture);
    screen->window->addSubview(screen->scroll);
    screen->window->makeKeyAndVisible();
    return screen;
}

// Each frame the picture moves by a finger's drag at the zoom given (in percent); the first
// frame, which makes the picture's reduced copies, is not timed.
void BM_PanPreviewPicture(benchmark::State& state) {
    const float zoom = static_cast<float>(state.range(0)) / 100.0f;
    auto screen = previewScreen();
    display::ScreenCompositor compositor(screen->window, kScale);
    screen->scroll->setZoomScale(zoom);
    compositor.compose(0.0);
    const float spanX = std::max(0.0f, 4032 * zoom - 320),
                spanY = std::max(0.0f, 3024 * zoom - 436);
    int frame = 0;
    for (auto _ : state) {
        const float t = static_cast<float>(frame++ % 16) / 15.0f;
        screen->scroll->setContentOffset({spanX * t, spanY * (1.0f - t)});
        compositor.compose(0.0);
    }
}
BENCHMARK(BM_PanPreviewPicture)->Arg(20)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

// A pinch: each frame another zoom between 0.2 and 1, about the picture's middle. The
// slowest frame is reported too: a pinch must not stutter at any zoom.
void BM_PinchPreviewPicture(benchmark::State& state) {
    auto screen = previewScreen();
    display::ScreenCompositor compositor(screen->window, kScale);
    screen->scroll->setZoomScale(0.2f);
    compositor.compose(0.0);
    int frame = 0;
    double slowest = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const float zoom = 0.2f + 0.8f * static_cast<float>(frame++ % 41) / 40.0f;
        screen->scroll->setZoomScale(zoom);
        screen->scroll->setContentOffset({2016 * zoom - 160, 1512 * zoom - 218});
        compositor.compose(0.0);
        slowest = std::max(slowest, std::chrono::duration<double, std::milli>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
    }
    state.counters["slowest_frame_ms"] = slowest;
}
BENCHMARK(BM_PinchPreviewPicture)->Unit(benchmark::kMillisecond);

// What a new picture costs once, before its first frame: its reduced copies.
void BM_PrepareReducedCopies(benchmark::State& state) {
    const graphics::PixelBuffer& original = photograph()->pixels();
    for (auto _ : state) {
        // New pixels each time: the copies are kept with the pixels they were made from.
        state.PauseTiming();
        auto pixels = std::make_shared<graphics::PixelBuffer>(
            original.width(), original.height(), original.format(),
            graphics::PixelBuffer::Contents::Unspecified);
        std::memcpy(pixels->data(), original.data(),
                    static_cast<std::size_t>(original.stride()) * original.height());
        const auto fresh = graphics::Image::withPixels(pixels);
        state.ResumeTiming();
        graphics::prepareReducedCopies(*fresh);
    }
}
BENCHMARK(BM_PrepareReducedCopies)->Unit(benchmark::kMillisecond);

std::unique_ptr<display::SdlWindow> openWindow(benchmark::State& state) {
    std::string error;
    auto window = display::SdlWindow::open({.scale = kScale}, error);
    if (!window) state.SkipWithError(("no display: " + error).c_str());
    return window;
}

// A 30 fps camera: each frame arrives, is composed and presented; only that is timed.
void BM_ComposeAndPresentCameraFrame(benchmark::State& state) {
    foundation::RunLoop loop;  // outlives the window, which is its event source
    auto sdl = openWindow(state);
    if (!sdl) return;
    CaptureScreen screen;
    sdl->show(screen.window, loop);
    sdl->turnEnded();
    const graphics::ImagePtr frames[] = {cameraFrame(0), cameraFrame(1)};
    int next = 0;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::duration<double>(kCameraInterval));
        sdl->dispatchEvents();
        const auto start = std::chrono::steady_clock::now();
        screen.live->setCameraFrame(frames[next]);
        next ^= 1;
        sdl->turnEnded();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    if (sdl->presentedFrames() < static_cast<std::uint64_t>(state.iterations()) + 1)
        state.SkipWithError("not every frame was presented");
}
BENCHMARK(BM_ComposeAndPresentCameraFrame)
    ->UseManualTime()
    ->Iterations(150)
    ->Unit(benchmark::kMillisecond);

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](timeval t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The window shown with no camera frames and nothing happening, for ten seconds.
void BM_IdleWindowCpu(benchmark::State& state) {
    foundation::RunLoop loop;  // outlives the window, which is its event source
    auto sdl = openWindow(state);
    if (!sdl) return;
    CaptureScreen screen;
    sdl->show(screen.window, loop);
    loop.runFor(0.5);  // the first frames
    for (auto _ : state) {
        const double cpuBefore = cpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        loop.runFor(10.0);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        state.counters["cpu_percent_of_a_core"] = 100.0 * (cpuSeconds() - cpuBefore) / wall;
        state.counters["frames_presented"] = static_cast<double>(sdl->presentedFrames());
    }
}
BENCHMARK(BM_IdleWindowCpu)->Iterations(1)->Unit(benchmark::kSecond);

// The spinner of a shot turning over a still camera picture, for ten seconds: the screen
// changes 60 times a second, but only where the spinner is.
void BM_TurningSpinnerCpu(benchmark::State& state) {
    foundation::RunLoop loop;  // outlives the window, which is its event source
    auto sdl = openWindow(state);
    if (!sdl) return;
    CaptureScreen screen;
    screen.live->setCameraFrame(cameraFrame(0));
    auto spinner = std::make_shared<ui::ActivityIndicator>(Rect{145, 225, 30, 30});
    screen.window->addSubview(spinner);
    spinner->startAnimating();
    sdl->show(screen.window, loop);
    loop.runFor(0.5);
    for (auto _ : state) {
        const double cpuBefore = cpuSeconds();
        const auto framesBefore = sdl->presentedFrames();
        const auto wallBefore = std::chrono::steady_clock::now();
        loop.runFor(10.0);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        state.counters["cpu_percent_of_a_core"] = 100.0 * (cpuSeconds() - cpuBefore) / wall;
        state.counters["frames_per_second"] =
            static_cast<double>(sdl->presentedFrames() - framesBefore) / wall;
    }
}
BENCHMARK(BM_TurningSpinnerCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
