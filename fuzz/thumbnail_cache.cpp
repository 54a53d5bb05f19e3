// Cached thumbnails are files any program may have written: the input is a thumbnail PNG
// (and, the same bytes, a fail entry) found in the cache for one photograph. The cache reads
// its Thumb:: text chunks, decides whether it still describes the photograph, and decodes
// it, or makes the thumbnail afresh.
//
// The Thumb::URI of an entry names the photograph by its absolute path, so the photograph
// lives at a fixed path (below) that the seed corpus names, with a fixed modification time;
// processes running this target take turns through a lock on its folder. The cache itself is
// the process's own.
#include <sys/file.h>
#include <sys/stat.h>

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>

#include "fuzz/png_checksums.h"
#include "fuzz/scratch_folder.h"
#include "platform/graphics/png_codec.h"
#include "platform/graphics/png_text.h"
#include "platform/media/thumbnail_cache.h"
#include "platform/media/thumbnail_maker.h"

namespace fs = std::filesystem;
using platform::graphics::PixelBuffer;
using platform::media::Thumbnail;
using platform::media::ThumbnailCache;
using platform::media::ThumbnailMaker;

namespace {

const fs::path kFolder = "/tmp/orvex-fuzz-thumbnail-cache";
const fs::path kPhoto = kFolder / "photo.png";
constexpr std::time_t kPhotoTime = 1700000000;
constexpr ThumbnailCache::Flavor kFlavor = ThumbnailCache::Flavor::Normal;

// The cache is rewritten for every input: in memory where the machine offers it, since a disk
// file system may flush a file that is truncated or renamed over, at a cost of milliseconds.
const fs::path& root() {
    static const fs::path folder = [] {
        std::error_code error;
        const fs::path memory = "/dev/shm";
        return fuzz::scratchFolder(
            fs::is_directory(memory, error) ? memory : fs::temp_directory_path(),
            "orvex-fuzz-thumbnails");
    }();
    return folder;
}

const ThumbnailMaker& maker() {
    static const ThumbnailMaker instance(root(), kFlavor);
    return instance;
}

// A new file each time, never one truncated in place.
void write(const fs::path& file, std::span<const std::uint8_t> bytes) {
    std::error_code ignored;
    fs::remove(file, ignored);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A 6 × 4 picture, so that the thumbnail made of it is the photograph's size.
void writePhoto() {
    PixelBuffer pixels(6, 4, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) pixels.setPixel(x, y, 0xFF000000u | x * 40u << 16 | y * 60u);
    write(kPhoto, platform::graphics::encodePng(pixels).value());
    const timespec times[2] = {{kPhotoTime, 0}, {kPhotoTime, 0}};
    if (::utimensat(AT_FDCWD, kPhoto.c_str(), times, 0) != 0) std::abort();
}

void takeTurn() {
    fs::create_directories(kFolder);
    const int fd = ::open((kFolder / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) std::abort();
    // Held until the process ends.
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    takeTurn();
    writePhoto();
    root();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> entry(data, size);
    platform::graphics::readPngText(entry);
    write(maker().thumbnailPathFor(kPhoto), entry);
    write(maker().failPathFor(kPhoto), entry);

    const int box = ThumbnailCache::sizeOf(kFlavor);
    int answers = 0;
    maker().make(kPhoto, [&](const Thumbnail& thumbnail) {
        ++answers;
        // Whatever the cache held, what is shown is a picture within the box, or nothing.
        if ((thumbnail.kind == Thumbnail::Kind::Failed) != !thumbnail.picture) __builtin_trap();
        if (thumbnail.picture) {
            const PixelBuffer& pixels = thumbnail.picture->pixels();
            if (pixels.width() < 1 || pixels.height() < 1 || pixels.width() > box ||
                pixels.height() > box)
                __builtin_trap();
        }
    });
    // The photograph is a PNG: no provisional answer, so exactly one.
    if (answers != 1) __builtin_trap();
    return 0;
}
