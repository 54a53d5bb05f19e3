// Thumbnails of 12-megapixel album photographs (4032 × 3024, about 4 MB, EXIF orientation 6):
// how many the cache makes per second from cold, through the decoder's own reduction, and how
// soon a photograph carrying an EXIF thumbnail shows something. Inputs are made here, in
// ORVEX_BENCH_OUT (default: the temporary folder).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "bench/photo_like.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/exif_thumbnail.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/media/thumbnail_cache.h"
#include "platform/media/thumbnail_picture.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::graphics;
using platform::foundation::RunLoop;
using platform::media::Thumbnail;
using platform::media::ThumbnailCache;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 4032, kHeight = 3024;
constexpr int kColdBatch = 24;

fs::path outputFolder() {
    const char* out = std::getenv("ORVEX_BENCH_OUT");
    return out ? fs::path(out) : fs::temp_directory_path();
}

template <class T>
T valueOrThrow(Result<T> result) {
    if (!result) throw std::runtime_error(result.error());
    return std::move(result.value());
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot write " + path.string());
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Inputs {
    fs::path plain;     // orientation only
    fs::path withExif;  // orientation and a 160-pixel EXIF thumbnail, as a camera writes
};

const Inputs& inputs() {
    static const Inputs made = [] {
        Inputs in{outputFolder() / "orvex-bench-thumbnail-plain.jpg",
                  outputFolder() / "orvex-bench-thumbnail-exif.jpg"};
        if (fs::exists(in.plain) && fs::exists(in.withExif)) return in;
        // More grain than the default, which is what makes such a file about 4 MB.
        const auto pixels = bench::photoLikePixels(kWidth, kHeight, 13, 11);
        const Bytes jpeg = valueOrThrow(encodeJpeg(*pixels, 95));
        const ImagePtr image = Image::withPixels(pixels);
        const Bytes small =
            valueOrThrow(encodeJpeg(platform::media::uprightWithin(image, 160)->pixels(), 80));
        writeFile(in.plain, withExifThumbnail(jpeg, {}, ImageOrientation::Right));
        writeFile(in.withExif, withExifThumbnail(jpeg, small, ImageOrientation::Right));
        return in;
    }();
    return made;
}

// A fresh, empty thumbnails folder: every thumbnail is made from cold.
fs::path coldRoot() {
    const fs::path root = outputFolder() / "orvex-bench-thumbnails";
    fs::remove_all(root);
    return root;
}

// Runs the loop until `done`; answers arrive within a millisecond of being posted.
template <class Done>
void runUntil(RunLoop& loop, Done done) {
    while (!done()) loop.runFor(0.001);
}

// A batch of distinct photographs (hard links: distinct names, one file's bytes), made by the
// cache's workers; the time runs from the request to the last answer.
void coldThumbnails(benchmark::State& state) {
    std::vector<fs::path> files;
    const fs::path folder = outputFolder() / "orvex-bench-thumbnail-batch";
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (int i = 0; i < kColdBatch; ++i) {
        files.push_back(folder / ("IMG_" + std::to_string(i) + ".jpg"));
        fs::create_hard_link(inputs().plain, files.back());
    }
    RunLoop loop;
    for (auto _ : state) {
        ThumbnailCache cache(coldRoot(), ThumbnailCache::Flavor::Large, loop);
        int finals = 0;
        Clock::time_point last;
        cache.setHandler([&](const fs::path&, const Thumbnail& thumbnail) {
            if (thumbnail.kind == Thumbnail::Kind::Failed) throw std::runtime_error("failed");
            finals += thumbnail.kind == Thumbnail::Kind::Final;
            last = Clock::now();
        });
        const Clock::time_point start = Clock::now();
        cache.request(files);
        runUntil(loop, [&] { return finals == kColdBatch; });
        state.SetIterationTime(std::chrono::duration<double>(last - start).count());
    }
    state.SetItemsProcessed(state.iterations() * kColdBatch);
    state.counters["file_MB"] = double(fs::file_size(inputs().plain)) / 1e6;
    fs::remove_all(folder);
}

// From the request to the EXIF thumbnail on screen; the real thumbnail is then awaited
// untimed.
void timeToProvisional(benchmark::State& state) {
    RunLoop loop;
    for (auto _ : state) {
        ThumbnailCache cache(coldRoot(), ThumbnailCache::Flavor::Large, loop);
        Clock::time_point provisional;
        bool final = false;
        cache.setHandler([&](const fs::path&, const Thumbnail& thumbnail) {
            if (thumbnail.kind == Thumbnail::Kind::Provisional) provisional = Clock::now();
            final = thumbnail.kind == Thumbnail::Kind::Final;
        });
        const Clock::time_point start = Clock::now();
        cache.request({inputs().withExif});
        runUntil(loop, [&] { return final; });
        if (provisional == Clock::time_point()) throw std::runtime_error("no EXIF thumbnail");
        state.SetIterationTime(std::chrono::duration<double>(provisional - start).count());
    }
}

// The decoding step alone, on one thread: reduced inside the decoder, against the full decode.
void stepDecode(benchmark::State& state, bool scaled) {
    const Bytes bytes = readFile(inputs().plain);
    for (auto _ : state)
        benchmark::DoNotOptimize(scaled ? decodeJpegScaled(bytes, 256) : decodeJpeg(bytes));
}

void registerAll() {
    benchmark::RegisterBenchmark("Thumbnails/Cold12MP", coldThumbnails)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(8);
    benchmark::RegisterBenchmark("Thumbnails/TimeToProvisional", timeToProvisional)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(30);
    benchmark::RegisterBenchmark("Step/DecodeScaled12MP", stepDecode, true)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("Step/DecodeFull12MP", stepDecode, false)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
