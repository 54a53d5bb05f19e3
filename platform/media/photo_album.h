#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/run_loop.h"
#include "platform/graphics/image.h"

namespace platform::media {

// The photo album: a folder of pictures. Saving returns at once; encoding and writing happen
// on the album's own thread, and each save's completion runs on the run loop exactly once, in
// the order of the saves. A photograph the album cannot take is kept in the fallback folder
// (and logged with both paths). One that neither folder takes (a full disk, a read-only file
// system) is held in memory, within a budget, and written again with growing pauses until it
// lands under the name of the moment it was taken; only a photograph beyond the budget, or
// still held when the album closes and its last attempt fails, is lost, and the log says which.
class PhotoAlbum {
  public:
    // No value: saved in the album. Otherwise what went wrong (the photograph may still have
    // been kept in the fallback folder, or be held for another attempt).
    using Completion = std::function<void(const std::optional<std::string>& error)>;
    using WallClock = std::function<std::chrono::system_clock::time_point()>;
    // Told, on the run loop, what keeps photographs from being saved, and nothing once one is
    // saved again.
    using ProblemHandler = std::function<void(const std::optional<std::string>& cause)>;

    // Encoded photographs that may wait in memory for a writable folder: some forty of the
    // largest preset, more of the smaller ones.
    static constexpr std::size_t kDefaultMemoryBudget = std::size_t{128} << 20;
    // Pauses between attempts to write them: doubling from the first up to the longest.
    static constexpr double kFirstRetryDelay = 1.0;
    static constexpr double kLongestRetryDelay = 60.0;

    // Finishes, or removes, what an interrupted save left in both folders.
    explicit PhotoAlbum(std::filesystem::path folder, std::filesystem::path fallbackFolder,
                        foundation::RunLoop& loop = foundation::RunLoop::main());
    // The user's default album and fallback folders.
    PhotoAlbum();
    // Finishes the saves under way first, then makes a last attempt at the photographs still
    // held in memory.
    ~PhotoAlbum();
    PhotoAlbum(const PhotoAlbum&) = delete;
    PhotoAlbum& operator=(const PhotoAlbum&) = delete;

    // For `--album DIR`; applies to saves made after the call. Finishes, or removes, what an
    // interrupted save left there.
    void setFolder(std::filesystem::path folder);
    std::filesystem::path folder() const;
    const std::filesystem::path& fallbackFolder() const { return fallbackFolder_; }
    // The time that names the files (tests make two saves fall in one millisecond).
    void setWallClock(WallClock clock) { wallClock_ = std::move(clock); }
    void setMemoryBudget(std::size_t bytes) { memoryBudget_ = bytes; }

    // Encodes the picture as JPEG (quality 95) and writes it as IMG_YYYYMMDD_HHMMSS_mmm.jpg,
    // named after the moment of the call. A null picture completes with an error.
    void save(graphics::ImagePtr picture, Completion completion);

    // The album's JPEG and PNG pictures, oldest first. Photographs that an interrupted save
    // left complete under a temporary name, in the album or the fallback folder, are named
    // first; incomplete ones are removed.
    std::vector<std::filesystem::path> pictures();

    // As the run loop has been told: photographs written to the album or the fallback folder,
    // held in memory for another attempt, and lost.
    int savedCount() const { return status_->saved; }
    int pendingCount() const { return status_->pending; }
    int failedCount() const { return status_->failed; }
    // What keeps photographs from being saved; nothing since the last save that succeeded.
    const std::optional<std::string>& saveProblem() const { return status_->problem; }
    void setProblemHandler(ProblemHandler handler) { status_->problemHandler = std::move(handler); }

  private:
    enum class Task { Save, Retry };
    struct Job {
        Task task;
        graphics::ImagePtr picture;
        std::filesystem::path folder;
        std::string stem;
        std::chrono::system_clock::time_point taken;
        Completion completion;
        foundation::RunLoop::BackgroundWork work;
    };
    // An encoded photograph that no folder has taken yet; the writer thread's alone.
    struct HeldPhoto {
        std::string stem;
        std::filesystem::path folder;
        std::vector<std::uint8_t> bytes;
    };
    // Where a photograph went, or why it went nowhere.
    struct Landing {
        std::filesystem::path path;
        std::string albumError;
        std::string fallbackError;
        std::string cause;  // short, for the screen
    };
    // Missed: the camera gave no picture (and said so); nothing was there to lose.
    enum class Outcome { Saved, Held, Lost, Missed };

    // The album as the run loop sees it; touched on the loop's thread only. Posted tasks and
    // timers reach the album through it, and find it gone once the album is destroyed.
    struct Status : std::enable_shared_from_this<Status> {
        explicit Status(foundation::RunLoop& loop) : loop(loop) {}
        void report(Outcome outcome, const std::string& cause);
        void retried(int landed, int stillHeld, const std::string& cause);
        void setProblem(std::optional<std::string> cause);
        void scheduleRetry();

        foundation::RunLoop& loop;
        PhotoAlbum* album = nullptr;
        int saved = 0;
        int pending = 0;
        int failed = 0;
        std::optional<std::string> problem;
        ProblemHandler problemHandler;
        std::shared_ptr<foundation::Timer> retryTimer;
        double retryDelay = kFirstRetryDelay;
    };

    void requestRetry();
    void writerLoop();
    void saveOnWriter(Job& job);
    // Writes the photographs held in memory, oldest first, until one is refused.
    void writeHeldPhotosAndReport();
    void lastAttempt();
    Landing land(const std::filesystem::path& folder, const std::string& stem,
                 const std::vector<std::uint8_t>& bytes) const;
    bool hold(HeldPhoto photo);
    void finish(Job& job, Outcome outcome, std::optional<std::string> error,
                const std::string& cause);
    void recoverInterruptedSaves(const std::filesystem::path& folder) const;

    mutable std::mutex mutex_;
    std::condition_variable wakeWriter_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::filesystem::path folder_;
    const std::filesystem::path fallbackFolder_;
    foundation::RunLoop& loop_;
    WallClock wallClock_;
    std::atomic<std::size_t> memoryBudget_{kDefaultMemoryBudget};
    std::deque<HeldPhoto> held_;  // the writer thread's alone
    std::size_t heldBytes_ = 0;   // the writer thread's alone
    std::shared_ptr<Status> status_;
    std::thread writer_;  // last: started once everything it uses exists
};

}  // namespace platform::media
