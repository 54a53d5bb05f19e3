// The photo library as a user meets it: from the tap on an album photo (12 MP, stored
// sideways) to the picture shown in the preview and its busy indicator gone, with the
// longest time the main thread was blocked meanwhile; and from the tap on "Library" to the
// first frame of an album of 1,000 photos whose thumbnails are cached.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/application.h"
#include "bench/heartbeat.h"
#include "bench/photo_like.h"
#include "platform/display/screen_compositor.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/album_browser.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/services.h"
#include "platform/ui/image_named.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using platform::foundation::RunLoop;

constexpr int kAlbumSize = 1000;

const fs::path& benchFolder() {
    static const fs::path folder = fs::temp_directory_path() / "orvex-bench-library";
    return folder;
}

// An album of one 12 MP photo and 999 more names for it (hard links: the same bytes, as
// many files as the browser lists), and a thumbnail cache of its own.
std::filesystem::path makeAlbum() {
    const fs::path album = benchFolder() / "album";
    fs::remove_all(album);
    fs::create_directories(album);
    const auto jpeg = bench::photoLikeJpeg(4032, 3024);
    const fs::path first = album / "IMG_0000.jpg";
    std::ofstream(first, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
    for (int i = 1; i < kAlbumSize; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.jpg", i);
        fs::create_hard_link(first, album / name);
    }
    return album;
}

app::Application& application() {
    static std::unique_ptr<app::Application> launched = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("XDG_CACHE_HOME", (benchFolder() / "cache").c_str(), 1);
        platform::ui::setScreenScale(2);
        static platform::media::Services services(
            {.camera = {.device = "test"}, .album = makeAlbum()});
        auto a = app::Application::launch();
        RunLoop::main().runFor(1.0);
        return a;
    }();
    return *launched;
}

using bench::Heartbeat;

void runUntil(const std::function<bool()>& done) {
    const auto giveUp = Clock::now() + std::chrono::seconds(30);
    while (!done() && Clock::now() < giveUp) RunLoop::main().runFor(0.001);
}

void openLibrary(app::Application& app) {
    auto& screen = app.captureScreen();
    if (screen.modalViewController()) return;
    app.window().tap({288, 452});
}

bool visibleThumbnailsShown(const platform::media::AlbumBrowser& browser) {
    const auto& grid = *browser.grid();
    const auto [first, end] = grid.cellsBetween(0, browser.view()->frame().height());
    for (std::size_t i = first; i < end; ++i)
        if (grid.cell(i).state == platform::media::AlbumGridView::CellState::Waiting) return false;
    return end > first;
}

struct Pick {
    double shownMs = 0.0;  // until the picture is in the preview
    double doneMs = 0.0;   // until the busy indicator is gone as well
    double longestBlockMs = 0.0;
};

// One tap on the newest photo, timed until the preview shows it without its busy indicator.
Pick pickNewest(app::Application& app) {
    auto& screen = app.captureScreen();
    const auto point = screen.pickerP->albumBrowser()->touchPointOfCell(0);
    Pick pick;
    Heartbeat heartbeat;
    const auto touch = Clock::now();
    app.window().tap(*point);
    runUntil([&] { return screen.preview->imageView && screen.preview->imageView->image(); });
    pick.shownMs = std::chrono::duration<double, std::milli>(Clock::now() - touch).count();
    runUntil([&] { return screen.preview->activityIndicator == nullptr; });
    pick.doneMs = std::chrono::duration<double, std::milli>(Clock::now() - touch).count();
    pick.longestBlockMs = heartbeat.longest * 1000.0;
    screen.preview->close();
    RunLoop::main().runFor(0.4);
    return pick;
}

// The first pick of a process also pays for fresh picture memory (page faults on about
// 200 MB); it is reported apart from the ones after it.
void BM_PickToPictureShown(benchmark::State& state) {
    auto& app = application();
    openLibrary(app);
    RunLoop::main().runFor(0.5);
    static const Pick first = pickNewest(app);
    double longestBlock = first.longestBlockMs, shownMs = 0.0;
    for (auto _ : state) {
        const Pick pick = pickNewest(app);
        state.SetIterationTime(pick.doneMs / 1000.0);
        shownMs = std::max(shownMs, pick.shownMs);
        longestBlock = std::max(longestBlock, pick.longestBlockMs);
    }
    state.counters["first_pick_ms"] = first.doneMs;
    state.counters["slowest_shown_ms"] = shownMs;
    state.counters["longest_main_block_ms"] = longestBlock;
}

void BM_LibraryFirstFrame(benchmark::State& state) {
    auto& app = application();
    auto& screen = app.captureScreen();
    platform::display::ScreenCompositor compositor(app.delegate().window, 2);
    // A first visit makes the visible cells' thumbnails; the timed visits find them cached.
    openLibrary(app);
    runUntil([&] { return visibleThumbnailsShown(*screen.pickerP->albumBrowser()); });
    screen.pickerP->cancel();
    RunLoop::main().runFor(0.5);
    for (auto _ : state) {
        const auto touch = Clock::now();
        openLibrary(app);
        runUntil([&] { return visibleThumbnailsShown(*screen.pickerP->albumBrowser()); });
        compositor.compose(RunLoop::main().now());
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - touch).count());
        screen.pickerP->cancel();
        RunLoop::main().runFor(0.5);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["max_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["photos"] = static_cast<double>(screen.pickerP->albumBrowser()->count());
}

}  // namespace

BENCHMARK(BM_LibraryFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PickToPictureShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

BENCHMARK_MAIN();
