#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
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
// (and logged with both paths), so none is ever lost.
class PhotoAlbum {
  public:
    // No value: saved. Otherwise what went wrong.
    using Completion = std::function<void(const std::optional<std::string>& error)>;
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    explicit PhotoAlbum(std::filesystem::path folder, std::filesystem::path fallbackFolder,
                        foundation::RunLoop& loop = foundation::RunLoop::main());
    // The user's default album and fallback folders.
    PhotoAlbum();
    // Finishes the saves under way first.
    ~PhotoAlbum();
    PhotoAlbum(const PhotoAlbum&) = delete;
    PhotoAlbum& operator=(const PhotoAlbum&) = delete;

    // For `--album DIR`; applies to saves made after the call.
    void setFolder(std::filesystem::path folder);
    std::filesystem::path folder() const;
    const std::filesystem::path& fallbackFolder() const { return fallbackFolder_; }
    // The time that names the files (tests make two saves fall in one millisecond).
    void setWallClock(WallClock clock) { wallClock_ = std::move(clock); }

    // Encodes the picture as JPEG (quality 95) and writes it as IMG_YYYYMMDD_HHMMSS_mmm.jpg,
    // named after the moment of the call. A null picture completes with an error.
    void save(graphics::ImagePtr picture, Completion completion);

    // The album's JPEG and PNG pictures, oldest first.
    std::vector<std::filesystem::path> pictures() const;
    // Saves whose completion has run and that reached the album.
    int savedCount() const { return savedCount_->load(); }

  private:
    struct Job {
        graphics::ImagePtr picture;
        std::filesystem::path folder;
        std::string stem;
        Completion completion;
        foundation::RunLoop::BackgroundWork work;
    };

    void writerLoop();
    std::optional<std::string> store(const Job& job) const;
    void complete(Job& job, std::optional<std::string> error);

    mutable std::mutex mutex_;
    std::condition_variable wakeWriter_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::filesystem::path folder_;
    const std::filesystem::path fallbackFolder_;
    foundation::RunLoop& loop_;
    WallClock wallClock_;
    std::shared_ptr<std::atomic<int>> savedCount_ = std::make_shared<std::atomic<int>>(0);
    std::thread writer_;  // last: started once everything it uses exists
};

}  // namespace platform::media
