#include "platform/media/photo_album.h"

#include <malloc.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>

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

// The album stores what the user saw: a tagged picture is turned upright first. Its EXIF
// block says when it was taken, its size, and what made it; the pixels are untouched.
std::optional<std::vector<std::uint8_t>> encodeForAlbum(const graphics::ImagePtr& picture,
                                                        std::chrono::system_clock::time_point taken,
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
    graphics::ExifFields fields;
    fields.taken = graphics::ExifMoment::of(taken);
    fields.pixelWidth = upright->pixels().width();
    fields.pixelHeight = upright->pixels().height();
    fields.software = "Orvex " ORVEX_VERSION;
    // A photograph without its thumbnail is still the photograph.
    const std::span<const std::uint8_t> small =
        thumbnail ? std::span<const std::uint8_t>(thumbnail.value())
                  : std::span<const std::uint8_t>();
    return graphics::withExifThumbnail(encoded.value(), small, graphics::ImageOrientation::Up,
                                       fields);
}

// A photograph from start to end: the markers that open and close it, and a decoder that
// reads every row between them.
bool isWholeJpeg(std::span<const std::uint8_t> bytes) {
    const std::size_t n = bytes.size();
    if (n < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[n - 2] != 0xFF ||
        bytes[n - 1] != 0xD9)
        return false;
    return graphics::decodeJpegScaled(bytes, 1).ok();
}

double megabytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

}  // namespace

PhotoAlbum::PhotoAlbum(std::filesystem::path folder, std::filesystem::path fallbackFolder,
                       foundation::RunLoop& loop)
    : folder_(std::move(folder)),
      fallbackFolder_(std::move(fallbackFolder)),
      loop_(loop),
      wallClock_([] { return std::chrono::system_clock::now(); }),
      status_(std::make_shared<Status>(loop)),
      writer_([this] { writerLoop(); }) {
    status_->album = this;
    recoverInterruptedSaves(fallbackFolder_);
    recoverInterruptedSaves(folder_);
}

PhotoAlbum::PhotoAlbum() : PhotoAlbum(defaultAlbumFolder(), defaultAlbumFallbackFolder()) {}

PhotoAlbum::~PhotoAlbum() {
    status_->album = nullptr;
    if (status_->retryTimer) status_->retryTimer->invalidate();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wakeWriter_.notify_all();
    writer_.join();
}

void PhotoAlbum::setFolder(std::filesystem::path folder) {
    {
        std::lock_guard lock(mutex_);
        folder_ = folder;
    }
    recoverInterruptedSaves(folder);
}

std::filesystem::path PhotoAlbum::folder() const {
    std::lock_guard lock(mutex_);
    return folder_;
}

void PhotoAlbum::save(graphics::ImagePtr picture, Completion completion) {
    const auto taken = wallClock_();
    Job job{Task::Save,
            std::move(picture),
            folder(),
            photoStem(taken),
            taken,
            std::move(completion),
            loop_.beginBackgroundWork()};
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wakeWriter_.notify_one();
}

void PhotoAlbum::requestRetry() {
    Job job{Task::Retry, nullptr, {}, {}, {}, nullptr, loop_.beginBackgroundWork()};
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
        if (jobs_.empty()) break;  // stopping, and every save is done
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        if (job.task == Task::Save)
            saveOnWriter(job);
        else
            writeHeldPhotosAndReport();
        // Released only once every result is posted, so that a virtual clock cannot move past
        // a save whose completion has not yet been queued.
        job.work.end();
        lock.lock();
    }
    lock.unlock();
    lastAttempt();
}

void PhotoAlbum::saveOnWriter(Job& job) {
    const std::string name = job.stem + ".jpg";
    if (!job.picture) return finish(job, Outcome::Missed, "no picture to save", {});
    std::string error;
    std::optional<std::vector<std::uint8_t>> bytes;
    try {
        bytes = encodeForAlbum(job.picture, job.taken, error);
    } catch (const std::exception& e) {  // out of memory for the turned copy, say
        error = e.what();
    }
    if (!bytes) {
        foundation::logError("the photo %@ is lost: it could not be encoded (%@)", name, error);
        return finish(job, Outcome::Lost, "cannot encode the picture: " + error, {});
    }
    const Landing landing = land(job.folder, job.stem, *bytes);
    std::optional<std::string> albumError;
    if (!landing.albumError.empty()) albumError = landing.albumError;
    if (!landing.path.empty()) {
        finish(job, Outcome::Saved, albumError, {});
        // The folders take photographs again: those waiting follow at once.
        if (!held_.empty()) writeHeldPhotosAndReport();
        return;
    }
    const bool held = hold({job.stem, job.folder, std::move(*bytes)});
    if (held)
        foundation::logWarning(
            "could not save the photo %@ in %@ (%@) nor in %@ (%@); it is kept in memory and "
            "saved as soon as a folder takes it",
            name, job.folder.string(), landing.albumError, fallbackFolder_.string(),
            landing.fallbackError);
    finish(job, held ? Outcome::Held : Outcome::Lost, albumError, landing.cause);
}

PhotoAlbum::Landing PhotoAlbum::land(const std::filesystem::path& folder, const std::string& stem,
                                     const std::vector<std::uint8_t>& bytes) const {
    Landing landing;
    const WrittenFile written = writeNewFileAtomically(folder, stem, ".jpg", bytes);
    if (written.error.empty()) {
        foundation::logInfo("photo saved: %@", written.path.string());
        landing.path = written.path;
        return landing;
    }
    landing.albumError = written.error;
    const WrittenFile kept = writeNewFileAtomically(fallbackFolder_, stem, ".jpg", bytes);
    if (kept.error.empty()) {
        foundation::logWarning("could not save the photo in %@ (%@); kept it as %@",
                               folder.string(), written.error, kept.path.string());
        landing.path = kept.path;
        return landing;
    }
    landing.fallbackError = kept.error;
    landing.cause = written.errorNumber != 0 ? std::strerror(written.errorNumber) : written.error;
    return landing;
}

// Beyond the budget the newest photograph is the one given up: those already waiting were
// taken at moments that are gone, while the newest one's scene is most likely still in front
// of the camera, and the screen says at that very moment that photos are not being saved.
bool PhotoAlbum::hold(HeldPhoto photo) {
    const std::size_t budget = memoryBudget_;
    if (heldBytes_ + photo.bytes.size() > budget) {
        foundation::logError(
            "the photo %@ is lost: no folder takes it, and the %.0f MB of memory set aside for "
            "photos waiting to be saved are taken by %d of them",
            photo.stem + ".jpg", megabytes(budget), static_cast<int>(held_.size()));
        return false;
    }
    heldBytes_ += photo.bytes.size();
    held_.push_back(std::move(photo));
    return true;
}

void PhotoAlbum::writeHeldPhotosAndReport() {
    int landed = 0;
    std::string cause;
    while (!held_.empty()) {
        const HeldPhoto& photo = held_.front();
        const Landing landing = land(photo.folder, photo.stem, photo.bytes);
        if (landing.path.empty()) {
            cause = landing.cause;
            break;
        }
        foundation::logInfo("saved the photo %@, held in memory until now, as %@",
                            photo.stem + ".jpg", landing.path.string());
        heldBytes_ -= photo.bytes.size();
        held_.pop_front();
        ++landed;
    }
    if (!held_.empty())
        foundation::logDebug("%d photos wait in memory to be saved (%@)",
                             static_cast<int>(held_.size()), cause);
    // The heap keeps the freed photos' memory for reuse; after an outage that held many, give
    // it back, so that a long time-lapse stays at its usual size.
    else if (landed > 0)
        malloc_trim(0);
    loop_.post([status = status_, landed, stillHeld = static_cast<int>(held_.size()), cause] {
        status->retried(landed, stillHeld, cause);
    });
}

void PhotoAlbum::lastAttempt() {
    int lost = 0;
    for (const HeldPhoto& photo : held_) {
        const std::string name = photo.stem + ".jpg";
        const Landing landing = land(photo.folder, photo.stem, photo.bytes);
        if (!landing.path.empty()) {
            foundation::logInfo("saved the photo %@, held in memory until now, as %@", name,
                                landing.path.string());
            continue;
        }
        ++lost;
        foundation::logError(
            "the photo %@ is lost: it could be saved neither in %@ (%@) nor in %@ (%@)", name,
            photo.folder.string(), landing.albumError, fallbackFolder_.string(),
            landing.fallbackError);
    }
    if (lost > 0) foundation::logError("photos lost at closing, as no folder took them: %d", lost);
    held_.clear();
}

void PhotoAlbum::finish(Job& job, Outcome outcome, std::optional<std::string> error,
                        const std::string& cause) {
    loop_.post([status = status_, completion = std::move(job.completion), outcome,
                error = std::move(error), cause] {
        status->report(outcome, cause);
        if (completion) completion(error);
    });
}

void PhotoAlbum::Status::report(Outcome outcome, const std::string& cause) {
    switch (outcome) {
        case Outcome::Saved:
            ++saved;
            retryDelay = kFirstRetryDelay;
            setProblem(std::nullopt);
            break;
        case Outcome::Held:
            ++pending;
            setProblem(cause);
            scheduleRetry();
            break;
        case Outcome::Lost:
            ++failed;
            if (!cause.empty()) setProblem(cause);
            break;
        case Outcome::Missed:
            break;
    }
}

void PhotoAlbum::Status::retried(int landed, int stillHeld, const std::string& cause) {
    saved += landed;
    pending -= landed;
    if (landed > 0) retryDelay = kFirstRetryDelay;
    if (stillHeld > 0) {
        setProblem(cause);
        scheduleRetry();
    } else if (landed > 0) {
        setProblem(std::nullopt);
    }
}

void PhotoAlbum::Status::setProblem(std::optional<std::string> cause) {
    if (cause == problem) return;
    problem = std::move(cause);
    if (problemHandler) problemHandler(problem);
}

void PhotoAlbum::Status::scheduleRetry() {
    if (!album || (retryTimer && retryTimer->isValid())) return;
    const double delay = retryDelay;
    retryDelay = std::min(retryDelay * 2.0, kLongestRetryDelay);
    retryTimer = loop.scheduleTimer(delay, false, [weak = weak_from_this()](foundation::Timer&) {
        if (auto self = weak.lock(); self && self->album) self->album->requestRetry();
    });
}

void PhotoAlbum::recoverInterruptedSaves(const std::filesystem::path& folder) const {
    for (const RecoveredFile& file : recoverAbandonedFiles(folder, ".jpg", isWholeJpeg)) {
        if (!file.path.empty())
            foundation::logInfo("recovered the photo %@ that an interrupted save left as %@",
                                file.path.string(), file.temporary.filename().string());
        else if (file.removed)
            foundation::logWarning("removed %@: an interrupted save left it incomplete",
                                   file.temporary.string());
        else
            foundation::logWarning("could not recover %@, left by an interrupted save: %@",
                                   file.temporary.string(), file.error);
    }
}

std::vector<std::filesystem::path> PhotoAlbum::pictures() {
    const std::filesystem::path shown = folder();
    recoverInterruptedSaves(shown);
    recoverInterruptedSaves(fallbackFolder_);
    struct Entry {
        std::filesystem::file_time_type time;
        std::filesystem::path path;
    };
    std::vector<Entry> entries;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(shown, ec))
        if (isAlbumPicture(entry)) entries.push_back({entry.last_write_time(ec), entry.path()});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.time != b.time ? a.time < b.time : a.path < b.path;
    });
    std::vector<std::filesystem::path> paths;
    for (auto& e : entries) paths.push_back(std::move(e.path));
    return paths;
}

}  // namespace platform::media
