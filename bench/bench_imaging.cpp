// The picture workloads that bench/peers compares with other tools, and the steps they are
// made of. Inputs come from ORVEX_BENCH_CAMERA_JPEG (2048 × 1536, EXIF orientation 6) and
// ORVEX_BENCH_ALBUM_JPEG (4032 × 3024, orientation 6); without them, photo-like stand-ins are
// made here. Outputs go to ORVEX_BENCH_OUT (default: the temporary folder).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

#include "bench/photo_like.h"
#include "imaging/process_capture.h"
#include "imaging/scale_and_rotate_image.h"
#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/png_codec.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::graphics;
using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    Bytes bytes(fs::file_size(path));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot write " + path.string());
}

template <class T>
T valueOrThrow(Result<T> result) {
    if (!result) throw std::runtime_error(result.error());
    return std::move(result.value());
}

fs::path outputFolder() {
    const char* out = std::getenv("ORVEX_BENCH_OUT");
    return out ? fs::path(out) : fs::temp_directory_path();
}

fs::path input(const char* variable, const char* name, int width, int height) {
    if (const char* given = std::getenv(variable)) return given;
    const fs::path made = outputFolder() / name;
    if (!fs::exists(made)) writeFile(made, bench::photoLikeJpeg(width, height));
    return made;
}

const fs::path& cameraInput() {
    static const fs::path path =
        input("ORVEX_BENCH_CAMERA_JPEG", "orvex-bench-camera.jpg", 2048, 1536);
    return path;
}

const fs::path& albumInput() {
    static const fs::path path =
        input("ORVEX_BENCH_ALBUM_JPEG", "orvex-bench-album.jpg", 4032, 3024);
    return path;
}

// One shot as the capture screen handles it, from the camera's file to the album's.
void captureWorkload(benchmark::State& state, imaging::ResolutionPreset preset, float zoom,
                     const char* output) {
    const fs::path out = outputFolder() / output;
    for (auto _ : state) {
        const ImagePtr taken = valueOrThrow(decodeJpeg(readFile(cameraInput())));
        const ImagePtr shot = imaging::processCapture(*taken, zoom, preset);
        writeFile(out, valueOrThrow(encodeJpeg(shot->pixels(), 95)));
    }
}

// A picked album picture made upright and given its PNG form, which is stored and read back.
void albumWorkload(benchmark::State& state) {
    const fs::path out = outputFolder() / "orvex-album.png";
    for (auto _ : state) {
        const ImagePtr picked = valueOrThrow(decodeJpeg(readFile(albumInput())));
        const ImagePtr upright = imaging::scaleAndRotateImage(*picked);
        writeFile(out, valueOrThrow(encodePng(upright->pixels())));
        benchmark::DoNotOptimize(valueOrThrow(decodePng(readFile(out))));
    }
}

void workload(const char* name, auto function) {
    benchmark::RegisterBenchmark(name, function)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinWarmUpTime(0.2)
        ->Repetitions(7);
}

void stepDecodeCameraJpeg(benchmark::State& state) {
    const Bytes bytes = readFile(cameraInput());
    for (auto _ : state) benchmark::DoNotOptimize(decodeJpeg(bytes));
}

void stepTurnUpright(benchmark::State& state) {
    const ImagePtr taken = valueOrThrow(decodeJpeg(readFile(cameraInput())));
    for (auto _ : state) benchmark::DoNotOptimize(imaging::scaleAndRotateImage(*taken));
}

void stepEncodeCameraJpeg(benchmark::State& state) {
    const ImagePtr taken = valueOrThrow(decodeJpeg(readFile(cameraInput())));
    for (auto _ : state) benchmark::DoNotOptimize(encodeJpeg(taken->pixels(), 95));
}

void stepEnlargeFor7Mpx(benchmark::State& state) {
    const ImagePtr upright =
        imaging::scaleAndRotateImage(*valueOrThrow(decodeJpeg(readFile(cameraInput()))));
    for (auto _ : state)
        benchmark::DoNotOptimize(imaging::processCapture(*upright, 1.0f, imaging::Preset7Mpx));
}

void stepEncodeAlbumPng(benchmark::State& state) {
    const ImagePtr picked = valueOrThrow(decodeJpeg(readFile(albumInput())));
    std::size_t size = 0;
    for (auto _ : state) size = valueOrThrow(encodePng(picked->pixels())).size();
    state.counters["png_MB"] = static_cast<double>(size) / 1e6;
}

void stepDecodeAlbumPng(benchmark::State& state) {
    const Bytes png =
        valueOrThrow(encodePng(valueOrThrow(decodeJpeg(readFile(albumInput())))->pixels()));
    for (auto _ : state) benchmark::DoNotOptimize(decodePng(png));
}

void registerAll() {
    using imaging::Preset3Mpx, imaging::Preset5Mpx, imaging::Preset7Mpx, imaging::ZoomCrop;
    workload("Workload/T0", [](auto& s) { captureWorkload(s, Preset3Mpx, 1.0f, "orvex-T0.jpg"); });
    workload("Workload/T1", [](auto& s) { captureWorkload(s, Preset5Mpx, 1.0f, "orvex-T1.jpg"); });
    workload("Workload/T2", [](auto& s) { captureWorkload(s, Preset7Mpx, 1.0f, "orvex-T2.jpg"); });
    workload("Workload/Z2", [](auto& s) { captureWorkload(s, ZoomCrop, 2.0f, "orvex-Z2.jpg"); });
    workload("Workload/Z8", [](auto& s) { captureWorkload(s, ZoomCrop, 8.0f, "orvex-Z8.jpg"); });
    workload("Workload/ALBUM", albumWorkload);
    for (auto [name, step] : {std::pair{"Step/DecodeCameraJpeg", &stepDecodeCameraJpeg},
                              {"Step/TurnUpright", &stepTurnUpright},
                              {"Step/EncodeCameraJpeg", &stepEncodeCameraJpeg},
                              {"Step/EnlargeFor7Mpx", &stepEnlargeFor7Mpx},
                              {"Step/EncodeAlbumPng", &stepEncodeAlbumPng},
                              {"Step/DecodeAlbumPng", &stepDecodeAlbumPng}})
        benchmark::RegisterBenchmark(name, step)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
