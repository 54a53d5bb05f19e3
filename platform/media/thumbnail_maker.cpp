#include "platform/media/thumbnail_maker.h"

#include <sys/stat.h>

#include <fcntl.h>
#include <glib.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "platform/foundation/log.h"
#include "platform/graphics/decode_image.h"
#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/exif_thumbnail.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/png_codec.h"
#include "platform/graphics/png_text.h"
#include "platform/media/thumbnail_picture.h"

namespace platform::media {

namespace fs = std::filesystem;
using graphics::DecodeResult;
using graphics::ImagePtr;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Thumbnails are a few hundred kilobytes at most; anything far larger is not one.
constexpr std::uintmax_t kMaxThumbnailFileSize = 16u << 20;
constexpr const char* kSoftware = "Orvex " ORVEX_VERSION;

std::string md5Hex(const std::string& text) {
    gchar* sum = g_compute_checksum_for_string(G_CHECKSUM_MD5, text.data(),
                                               static_cast<gssize>(text.size()));
    std::string hex(sum);
    g_free(sum);
    return hex;
}

// What the text chunks record of the file, and what must still hold for them to apply.
struct FileStamp {
    std::string uri;
    std::string mtime;  // whole seconds since the epoch
    std::string size;   // bytes
    std::uintmax_t bytes = 0;
};

std::optional<FileStamp> stampOf(const fs::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    const auto bytes = static_cast<std::uintmax_t>(status.st_size);
    return FileStamp{ThumbnailCache::uriFor(file), std::to_string(status.st_mtim.tv_sec),
                     std::to_string(bytes), bytes};
}

bool readAll(int fd, Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // an error, or the file shrank under us
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<Bytes> readFile(const fs::path& path, std::uintmax_t maxSize) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat status {};
    std::optional<Bytes> bytes;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::uintmax_t>(status.st_size) <= maxSize) {
        bytes.emplace(static_cast<std::size_t>(status.st_size));
        if (!readAll(fd, *bytes)) bytes.reset();
    }
    ::close(fd);
    return bytes;
}

// A thumbnail or fail entry applies only to the file as it was when the entry was made.
// Size is optional in the standard, so only a recorded one is compared.
bool records(const std::map<std::string, std::string>& texts, const FileStamp& stamp) {
    auto text = [&](const char* key) -> const std::string* {
        const auto found = texts.find(key);
        return found == texts.end() ? nullptr : &found->second;
    };
    const std::string* uri = text("Thumb::URI");
    const std::string* mtime = text("Thumb::MTime");
    const std::string* size = text("Thumb::Size");
    return uri && *uri == stamp.uri && mtime && *mtime == stamp.mtime &&
           (!size || *size == stamp.size);
}

// The entry's bytes when it records the file as it is now.
std::optional<Bytes> readEntry(const fs::path& entry, const FileStamp& stamp) {
    std::optional<Bytes> bytes = readFile(entry, kMaxThumbnailFileSize);
    if (!bytes) return std::nullopt;
    const auto texts = graphics::readPngText(*bytes);
    if (!texts || !records(*texts, stamp)) return std::nullopt;
    return bytes;
}

// A thumbnail larger than its flavor's box is not one the standard allows; decoding it would
// only risk what a bloated picture costs.
bool fitsBox(const Bytes& png, int size) {
    if (png.size() < 24) return false;
    auto field = [&](std::size_t at) {
        return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 |
               std::uint32_t{png[at + 2]} << 8 | std::uint32_t{png[at + 3]};
    };
    // The header chunk's data starts after the signature, its length and its type.
    return field(16) <= static_cast<std::uint32_t>(size) &&
           field(20) <= static_cast<std::uint32_t>(size);
}

// Missing folders are made private to the user, as the standard asks.
bool ensureFolder(const fs::path& folder) {
    struct stat status {};
    if (::stat(folder.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
    if (folder.has_parent_path() && folder.parent_path() != folder &&
        !ensureFolder(folder.parent_path()))
        return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Readers, ours on other threads and other programs', never see half a file: it is written
// under a temporary name in the same folder, then renamed over the old entry. Not synced: a
// file torn by a crash fails to decode and is simply made again.
bool writeEntry(const fs::path& entry, std::span<const std::uint8_t> bytes) {
    if (!ensureFolder(entry.parent_path())) return false;
    std::string temporary = entry.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes);
    written = ::close(fd) == 0 && written;
    if (written && ::rename(temporary.c_str(), entry.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

graphics::PngTexts textsFor(const FileStamp& stamp) {
    return {{"Thumb::URI", stamp.uri},
            {"Thumb::MTime", stamp.mtime},
            {"Thumb::Size", stamp.size},
            {"Software", kSoftware}};
}

// A failed file is remembered by a one-pixel picture carrying what identifies the file.
void writeFailEntry(const fs::path& entry, const FileStamp& stamp) {
    const graphics::PixelBuffer pixel(1, 1, graphics::PixelBuffer::Format::Argb32);
    const graphics::EncodeResult png = graphics::encodePng(pixel);
    if (png) writeEntry(entry, graphics::withPngText(png.value(), textsFor(stamp)));
}

struct MadePicture {
    ImagePtr thumbnail;
    int uprightWidth = 0;  // of the whole picture, as it is shown
    int uprightHeight = 0;
};
using Made = graphics::Result<MadePicture>;

Made thumbnailOfJpeg(const Bytes& bytes, int size) {
    const std::optional<graphics::JpegSize> stored = graphics::readJpegSize(bytes);
    const DecodeResult decoded = graphics::decodeJpegScaled(bytes, size);
    if (!decoded) return Made::failure(decoded.error(), decoded.cause());
    if (!stored) return Made::failure("no frame header");
    const bool sideways = graphics::isSideways(decoded.value()->imageOrientation());
    return Made::success({uprightWithin(decoded.value(), size),
                          sideways ? stored->height : stored->width,
                          sideways ? stored->width : stored->height});
}

Made thumbnailOfPng(const Bytes& bytes, int size) {
    const DecodeResult decoded = graphics::decodePng(bytes);
    if (!decoded) return Made::failure(decoded.error(), decoded.cause());
    const graphics::PixelBuffer& pixels = decoded.value()->pixels();
    return Made::success({uprightWithin(decoded.value(), size), pixels.width(), pixels.height()});
}

bool isJpeg(const Bytes& bytes) {
    return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
}

// The camera's own small picture, stored as the photograph is and so turned as it is.
ImagePtr provisionalPicture(const Bytes& jpeg, int size) {
    const std::optional<Bytes> embedded = graphics::readExifThumbnail(jpeg);
    if (!embedded) return nullptr;
    // Scaled decoding bounds what a hostile header can make us allocate.
    const DecodeResult decoded = graphics::decodeJpegScaled(*embedded, size);
    if (!decoded) return nullptr;
    const auto turned = std::make_shared<const graphics::Image>(
        decoded.value()->pixelBuffer(), graphics::readExifOrientation(jpeg), 1.0f);
    return uprightWithin(turned, size);
}

// The file read (once its header has been checked) and its thumbnail made.
Made thumbnailOfFile(const fs::path& file, int size,
                     const std::function<void(const Thumbnail&)>& answer) {
    auto bytes = graphics::readPictureFile(file);
    if (!bytes) return Made::failure(bytes.error(), bytes.cause());
    const bool jpeg = isJpeg(bytes.value());
    if (ImagePtr provisional = jpeg ? provisionalPicture(bytes.value(), size) : nullptr)
        answer({std::move(provisional), Thumbnail::Kind::Provisional});
    Made made = jpeg ? thumbnailOfJpeg(bytes.value(), size) : thumbnailOfPng(bytes.value(), size);
    if (!made) return Made::failure(file.string() + ": " + made.error(), made.cause());
    return made;
}

}  // namespace

ThumbnailMaker::ThumbnailMaker(fs::path root, ThumbnailCache::Flavor flavor)
    : thumbnailFolder_(root / (flavor == ThumbnailCache::Flavor::Large ? "large" : "normal")),
      failFolder_(root / "fail" / ("orvex-" ORVEX_VERSION)),
      size_(ThumbnailCache::sizeOf(flavor)) {}

fs::path ThumbnailMaker::thumbnailPathFor(const fs::path& file) const {
    return thumbnailFolder_ / (md5Hex(ThumbnailCache::uriFor(file)) + ".png");
}

fs::path ThumbnailMaker::failPathFor(const fs::path& file) const {
    return failFolder_ / (md5Hex(ThumbnailCache::uriFor(file)) + ".png");
}

void ThumbnailMaker::make(const fs::path& file,
                          const std::function<void(const Thumbnail&)>& answer) const {
    // Out of memory anywhere on the way, this file has no thumbnail for now; nothing is
    // remembered of it, so that it is tried again.
    const Thumbnail failed{nullptr, Thumbnail::Kind::Failed};
    try {
        // Taken before reading, so that a change made meanwhile leaves an entry that no longer
        // applies rather than one that hides the change.
        const std::optional<FileStamp> stamp = stampOf(file);
        if (!stamp) return answer(failed);  // gone, or not a file: nothing to remember it by
        const std::string name = md5Hex(stamp->uri) + ".png";
        const fs::path thumbnailPath = thumbnailFolder_ / name;
        const fs::path failPath = failFolder_ / name;

        if (const std::optional<Bytes> cached = readEntry(thumbnailPath, *stamp);
            cached && fitsBox(*cached, size_)) {
            const DecodeResult decoded = graphics::decodePng(*cached);
            if (decoded) return answer({decoded.value(), Thumbnail::Kind::Final});
        }
        if (readEntry(failPath, *stamp)) return answer(failed);

        // The whole file is let go once the thumbnail is made, before it is stored.
        const Made made = stamp->bytes <= kMaxFileSize
                              ? thumbnailOfFile(file, size_, answer)
                              : Made::failure("larger than any picture we show");
        if (!made) {
            // Memory may be found another time: only a file that cannot be read is remembered.
            if (made.cause() == graphics::FailureCause::Memory) {
                foundation::logWarning("no thumbnail for now: %@", made.error());
            } else {
                writeFailEntry(failPath, *stamp);
            }
            return answer(failed);
        }

        const graphics::EncodeResult png = graphics::encodePng(made.value().thumbnail->pixels());
        if (png) {
            graphics::PngTexts texts = textsFor(*stamp);
            texts.emplace_back("Thumb::Image::Width", std::to_string(made.value().uprightWidth));
            texts.emplace_back("Thumb::Image::Height", std::to_string(made.value().uprightHeight));
            // Not being able to store it (a full disk, a read-only cache) only costs making it
            // again next time.
            writeEntry(thumbnailPath, graphics::withPngText(png.value(), texts));
        }
        answer({made.value().thumbnail, Thumbnail::Kind::Final});
    } catch (const std::bad_alloc&) {
        foundation::logWarning("no thumbnail for %@ for now: not enough memory", file.string());
        answer(failed);
    }
}

}  // namespace platform::media
