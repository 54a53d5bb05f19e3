#include "platform/media/photo_album.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

#include "imaging/scale_and_rotate_image.h"
#include "platform/foundation/log.h"
#include "platform/graphics/exif_thumbnail.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/media/album_folders.h"
#include "platform/media/atomic_file_writer.h"
#include "platform/media/thumbnail_picture.h"

namespace platform::media {

namespace {

std::string photoStem(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stem[80];
    std::snprintf(stem, sizeof stem, "IMG_%04d%02d%02d_%02d%02d%02d_%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return stem;
}

bool isAlbumPicture(const std::filesystem::directory_entry& entry) {
    const std::string name = entry.path().filename().string();
    std::error_code ec;
    if (name.empty() || name.front() == '.' || !entry.is_regular_file(ec)) return false;
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".jpg" || extension == ".jpeg" || extension == ".png";
}

// File managers and our own library show the EXIF thumbnail at once while they make their own.
constexpr int kExifThumbnailSide = 160;
constexpr int kExifThumbnailQuality = 80;

// The album stores what the user saw: a tagged picture is turned upright first.
std::optional<std::vector<std::uint8_t>> encodeForAlbum(const graphics::ImagePtr& picture,
                                                        std::string& error) {
    graphics::ImagePtr upright = picture;
    if (picture->imageOrientation() != graphics::ImageOrientation::Up)
        upright = imaging::scaleAndRotateImage(*picture);
    graphics::EncodeResult encoded = graphics::encodeJpeg(upright->pixels(), 95);
    if (!encoded) {
        error = encoded.error();
        return std::nullopt;
    }
    const graphics::EncodeResult thumbnail = graphics::encodeJpeg(
        uprightWithin(upright, kExifThumbnailSide)->pixels(), kExifThumbnailQuality);
    // A photograph without its thumbnail is still the photograph.
    if (!thumbnail) return std::move(encoded.value());
    return graphics::withExifThumbnail(encoded.value(), thumbnail.value(),
                                       graphics::ImageOrientation::Up);
}

}  // namespace

PhotoAlbum::PhotoAlbum(std::filesystem::path folder, std::filesystem::path fallbackFolder,
                       foundation::RunLoop& loop)
    : folder_(std::move(folder)),
      fallbackFolder_(std::move(fallbackFolder)),
      loop_(loop),
      wallClock_([] { return std::chrono::system_clock::now(); }),
      writer_([this] { writerLoop(); }) {}

PhotoAlbum::PhotoAlbum() : PhotoAlbum(defaultAlbumFolder(), defaultAlbumFallbackFolder()) {}

PhotoAlbum::~PhotoAlbum() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wakeWriter_.notify_all();
    writer_.join();
}

void PhotoAlbum::setFolder(std::filesystem::path folder) {
    std::lock_guard lock(mutex_);
    folder_ = std::move(folder);
}

std::filesystem::path PhotoAlbum::folder() const {
    std::lock_guard lock(mutex_);
    return folder_;
}

void PhotoAlbum::save(graphics::ImagePtr picture, Completion completion) {
    Job job{std::move(picture), folder(), photoStem(wallClock_()), std::move(completion),
            loop_.beginBackgroundWork()};
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wakeWriter_.notify_one();
}

void PhotoAlbum::writerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wakeWriter_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;  // stopping, and every save is done
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        complete(job, store(job));
        lock.lock();
    }
}

std::optional<std::string> PhotoAlbum::store(const Job& job) const {
    if (!job.picture) return "no picture to save";
    std::string error;
    const auto bytes = encodeForAlbum(job.picture, error);
    if (!bytes) return "cannot encode the picture: " + error;
    const WrittenFile written = writeNewFileAtomically(job.folder, job.stem, ".jpg", *bytes);
    if (written.error.empty()) return std::nullopt;

    const WrittenFile kept = writeNewFileAtomically(fallbackFolder_, job.stem, ".jpg", *bytes);
    if (kept.error.empty()) {
        foundation::log("could not save the photo in %@ (%@); kept it as %@", job.folder.string(),
                        written.error, kept.path.string());
    } else {
        foundation::log("could not save the photo in %@ (%@) nor in %@ (%@)", job.folder.string(),
                        written.error, fallbackFolder_.string(), kept.error);
    }
    return written.error;
}

void PhotoAlbum::complete(Job& job, std::optional<std::string> error) {
    // Posted before the work token is released, so that a virtual clock cannot move past a
    // save whose completion has not yet been queued.
    loop_.post(
        [completion = std::move(job.completion), error = std::move(error), count = savedCount_] {
            if (!error) count->fetch_add(1);
            if (completion) completion(error);
        });
    job.work.end();
}

std::vector<std::filesystem::path> PhotoAlbum::pictures() const {
    struct Entry {
        std::filesystem::file_time_type time;
        std::filesystem::path path;
    };
    std::vector<Entry> entries;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder(), ec))
        if (isAlbumPicture(entry)) entries.push_back({entry.last_write_time(ec), entry.path()});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.time != b.time ? a.time < b.time : a.path < b.path;
    });
    std::vector<std::filesystem::path> paths;
    for (auto& e : entries) paths.push_back(std::move(e.path));
    return paths;
}

}  // namespace platform::media
