// Shutter latency with the built-in test camera: from the touch on the picture to the
// album's completion, per resolution preset, and the longest time the main thread was
// blocked meanwhile (what the turning spinner would show as a stall).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app/application.h"
#include "bench/heartbeat.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/services.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::foundation::RunLoop;

app::Application& application() {
    static std::unique_ptr<app::Application> launched = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        const auto album = std::filesystem::temp_directory_path() / "orvex-bench-album";
        std::filesystem::remove_all(album);
        static platform::media::Services services({.camera = {.device = "test"}, .album = album});
        auto a = app::Application::launch();
        RunLoop::main().runFor(1.0);  // ready, with camera frames coming in
        return a;
    }();
    return *launched;
}

using bench::Heartbeat;

void BM_ShutterLatency(benchmark::State& state) {
    auto& app = application();
    auto& screen = app.captureScreen();
    double longestBlock = 0.0;
    for (auto _ : state) {
        screen.state = static_cast<std::int32_t>(state.range(0));
        // Back to ready from the previous shot.
        while (screen.s == 0) RunLoop::main().runFor(0.05);
        const int saved = screen.savesReported();
        Heartbeat heartbeat;
        const auto touch = Clock::now();
        app.window().tap({160, 200});
        while (screen.savesReported() == saved) RunLoop::main().runFor(0.001);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - touch).count());
        longestBlock = std::max(longestBlock, heartbeat.longest);
        RunLoop::main().runFor(1.05);
    }
    state.counters["longest_main_block_ms"] = longestBlock * 1000.0;
}

}  // namespace

BENCHMARK(BM_ShutterLatency)
    ->ArgName("preset")
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(8);

BENCHMARK_MAIN();
