// Pictures from the album, from `pick FILE` and from other programs: both codecs, JPEG
// decoding at thumbnail size, the EXIF orientation and the EXIF thumbnail.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/png_checksums.h"
#include "platform/graphics/decode_image.h"
#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/exif_thumbnail.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/memory_budget.h"

namespace graphics = platform::graphics;

namespace {

// A decoded picture is never empty and is the size it says, with every row there to read.
void touchEveryRow(const graphics::ImagePtr& image) {
    const graphics::PixelBuffer& pixels = image->pixels();
    if (pixels.width() <= 0 || pixels.height() <= 0) __builtin_trap();
    volatile std::uint32_t sum = 0;
    for (int y = 0; y < pixels.height(); ++y) sum = sum + pixels.pixel(pixels.width() - 1, y);
}

}  // namespace

// A few dozen bytes can describe a picture of 100 megapixels, whose decoding takes seconds
// under the sanitizers: a budget of a small machine keeps every input quick, and refusing a
// picture for it is one more path to try.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    graphics::setMemoryBudget(std::uint64_t{128} << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const graphics::DecodeResult whole = graphics::decodeImage(bytes);
    if (whole) touchEveryRow(whole.value());
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
        // The library's thumbnails are decoded scaled: a file the preview shows, they show
        // too, no larger and turned the same way.
        const graphics::DecodeResult scaled = graphics::decodeJpegScaled(bytes, 128);
        if (scaled) touchEveryRow(scaled.value());
        if (whole &&
            (!scaled || scaled.value()->imageOrientation() != whole.value()->imageOrientation() ||
             scaled.value()->pixels().width() > whole.value()->pixels().width() ||
             scaled.value()->pixels().height() > whole.value()->pixels().height()))
            __builtin_trap();
        graphics::readJpegSize(bytes);
    }
    graphics::readExifOrientation(bytes);
    if (const auto thumbnail = graphics::readExifThumbnail(bytes)) {
        if (const graphics::DecodeResult small = graphics::decodeJpegScaled(*thumbnail, 128); small)
            touchEveryRow(small.value());
    }
    return 0;
}
