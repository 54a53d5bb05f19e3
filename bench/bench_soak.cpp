// A day of Timer Loop on a virtual clock, in-process, with the faults a long time-lapse
// meets: the camera is unplugged for ten minutes every three hours and the album's disk is
// full for twenty minutes once. At the end every shot must be accounted for: missed while
// the camera was away (and logged as such) or in the album, with no temporary file left
// behind and no memory that grows with the hours.
//
//     bench_soak [HOURS] [--keep]      (default 24 hours; --keep leaves the scratch folder)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/application.h"
#include "bench/photo_like.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/services.h"
#include "platform/ui/image_named.h"
#include "tests/support/scripted_camera_source.h"

namespace {

namespace fs = std::filesystem;
using platform::foundation::RunLoop;
using platform::media::CameraState;

constexpr int kLoopSeconds = 15;  // the Timer Loop's default length
// The camera goes away at 1:00, 4:00, ... 22:00 for ten minutes; the disk is full from
// 12:30 to 12:50. The first and the last hour are quiet, for the memory figures.
constexpr int kCameraAwayEvery = 180, kCameraAwayAt = 60, kCameraAwayFor = 10;
constexpr int kAlbumFullAt = 12 * 60 + 30, kAlbumFullFor = 20;
// A disk that fills up in the middle of a photograph, so a write fails after it has begun.
constexpr rlim_t kFullDiskBytes = 64 << 10;

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return 0;
}

// A file-size limit stops root as a full disk does, which permissions would not.
void limitFileSize(rlim_t bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = std::min(bytes, limit.rlim_max);
    setrlimit(RLIMIT_FSIZE, &limit);
}

struct Files {
    int photos = 0;
    int hidden = 0;
};

Files filesIn(const fs::path& folder) {
    Files files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("."))
            ++files.hidden;
        else if (entry.path().extension() == ".jpg")
            ++files.photos;
    }
    return files;
}

// What the log said about the photographs, tallied and let go every virtual minute so
// that the capture itself does not grow over the day.
struct LogTally {
    int missed = 0, noPicture = 0, held = 0, landedLater = 0, keptAside = 0, lost = 0;

    void take(platform::foundation::SystemLog::Capture& log) {
        for (const std::string& line : log.lines()) {
            missed += line.starts_with("missed photo:");
            noPicture += line.starts_with("camera: no picture could be taken");
            held += line.find("it is kept in memory") != std::string::npos;
            landedLater += line.find("held in memory until now") != std::string::npos;
            keptAside += line.find("; kept it as ") != std::string::npos;
            lost += line.find(" is lost") != std::string::npos;
        }
        log.clear();
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int hours = argc > 1 && argv[1][0] != '-' ? std::max(1, std::atoi(argv[1])) : 24;
    const bool keep = std::string(argv[argc - 1]) == "--keep";
    const auto started = std::chrono::steady_clock::now();

    // As the application itself does: a write beyond the limit fails instead of ending us.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    const fs::path scratch = fs::temp_directory_path() / "orvex-bench-soak";
    fs::remove_all(scratch);
    const fs::path album = scratch / "album";
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("XDG_CACHE_HOME", (scratch / "cache").c_str(), 1);
    setenv("XDG_STATE_HOME", (scratch / "state").c_str(), 1);
    platform::foundation::SystemLog::setThreshold(platform::foundation::LogLevel::Warning);
    platform::foundation::SystemLog::Capture log;

    auto& loop = RunLoop::main();
    platform::ui::setScreenScale(1);
    auto camera = std::make_shared<platform::media::ScriptedCameraSource>(loop);
    auto world = std::make_unique<platform::media::Services>(platform::media::ServiceSettings{
        .clock = std::make_shared<platform::foundation::VirtualClock>(),
        .cameraSource = camera,
        .album = album});
    auto& photoAlbum = world->album();
    const fs::path fallback = photoAlbum.fallbackFolder();

    // The test camera's frame: 2048 × 1536, held like a phone upright.
    const auto picture = std::make_shared<const platform::graphics::Image>(
        bench::photoLikePixels(2048, 1536), platform::graphics::ImageOrientation::Right, 1.0f);
    auto application = app::Application::launch();
    loop.runFor(0.2);
    camera->deliverFrame(picture);
    loop.runFor(0.2);
    if (camera->state() != CameraState::Ready) {
        std::fprintf(stderr, "bench_soak: the camera did not become ready\n");
        return 1;
    }
    application->window().tap({224, 452});  // Timer Loop
    application->window().tap({160, 200});  // start it

    LogTally tally;
    std::vector<long> hourlyRss(static_cast<std::size_t>(hours), 0);
    const int minutes = hours * 60;
    for (int minute = 0; minute < minutes; ++minute) {
        const int sinceAway = (minute - kCameraAwayAt) % kCameraAwayEvery;
        if (minute >= kCameraAwayAt && sinceAway == 0)
            camera->fail(CameraState::Failed, "unplugged");
        if (minute >= kCameraAwayAt && sinceAway == kCameraAwayFor) {
            camera->reconnect();
            camera->deliverFrame(picture);
        }
        if (minute == kAlbumFullAt) limitFileSize(kFullDiskBytes);
        if (minute == kAlbumFullAt + kAlbumFullFor) limitFileSize(unlimited.rlim_cur);
        loop.runFor(60);
        tally.take(log);
        const long rss = residentKilobytes();
        long& peak = hourlyRss[static_cast<std::size_t>(minute / 60)];
        peak = std::max(peak, rss);
    }
    // The last shot falls on the last instant; let it finish, stop the loop with a touch
    // and give photographs still held in memory the longest retry pause to land.
    loop.runFor(2);
    application->window().tap({160, 200});
    loop.runFor(2 * platform::media::PhotoAlbum::kLongestRetryDelay);
    tally.take(log);

    const int expected = hours * 3600 / kLoopSeconds;
    const Files inAlbum = filesIn(album), inFallback = filesIn(fallback);
    const int stored = inAlbum.photos + inFallback.photos;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("virtual hours            %d\n", hours);
    std::printf("expected photos          %d (camera asked %d times)\n", expected,
                camera->takePictureCalls());
    std::printf("missed photos            %d\n", tally.missed);
    std::printf("photos stored            %d (album %d, fallback folder %d)\n", stored,
                inAlbum.photos, inFallback.photos);
    std::printf("expected - missed        %d: %s\n", expected - tally.missed,
                expected - tally.missed == stored ? "matches" : "DOES NOT MATCH");
    std::printf("album says               saved %d, held %d, lost %d; screen saw %d saves\n",
                photoAlbum.savedCount(), photoAlbum.pendingCount(), photoAlbum.failedCount(),
                application->captureScreen().savesReported());
    std::printf(
        "log says                 held %d, landed later %d, kept aside %d, lost %d, "
        "no picture %d\n",
        tally.held, tally.landedLater, tally.keptAside, tally.lost, tally.noPicture);
    std::printf("temporary files left     %d (album %d, fallback folder %d)\n",
                inAlbum.hidden + inFallback.hidden, inAlbum.hidden, inFallback.hidden);
    std::printf("peak VmRSS, first hour   %.1f MB\n", hourlyRss.front() / 1024.0);
    std::printf("peak VmRSS, last hour    %.1f MB\n", hourlyRss.back() / 1024.0);
    std::printf("peak VmRSS by hour, MB  ");
    for (const long kilobytes : hourlyRss) std::printf(" %.0f", kilobytes / 1024.0);
    std::printf("\n");
    std::printf("real time                %.1f s\n", seconds);

    application.reset();
    world.reset();
    if (!keep) fs::remove_all(scratch);
    const bool accounted =
        expected - tally.missed == stored && inAlbum.hidden + inFallback.hidden == 0;
    return accounted ? 0 : 1;
}
