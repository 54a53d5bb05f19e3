#include "platform/graphics/exif_orientation.h"

#include <libexif/exif-data.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace platform::graphics {

namespace {

// Indexed by EXIF value − 1.
constexpr std::array<ImageOrientation, 8> kByExifValue = {
    ImageOrientation::Up,
    ImageOrientation::UpMirrored,
    ImageOrientation::Down,
    ImageOrientation::DownMirrored,
    ImageOrientation::LeftMirrored,
    ImageOrientation::Right,
    ImageOrientation::RightMirrored,
    ImageOrientation::Left,
};

struct ExifDataDeleter {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};

}  // namespace

ImageOrientation orientationFromExif(int value) {
    if (value < 1 || value > 8) return ImageOrientation::Up;
    return kByExifValue[static_cast<std::size_t>(value - 1)];
}

int exifFromOrientation(ImageOrientation orientation) {
    for (std::size_t i = 0; i < kByExifValue.size(); ++i)
        if (kByExifValue[i] == orientation) return static_cast<int>(i) + 1;
    return 1;
}

ImageOrientation readExifOrientation(std::span<const std::uint8_t> jpeg) {
    if (jpeg.empty()) return ImageOrientation::Up;
    std::unique_ptr<ExifData, ExifDataDeleter> exif(
        exif_data_new_from_data(jpeg.data(), static_cast<unsigned int>(jpeg.size())));
    if (!exif) return ImageOrientation::Up;
    ExifEntry* entry = exif_data_get_entry(exif.get(), EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || entry->size < 2)
        return ImageOrientation::Up;
    return orientationFromExif(exif_get_short(entry->data, exif_data_get_byte_order(exif.get())));
}

std::vector<std::uint8_t> withExifOrientation(std::span<const std::uint8_t> jpeg, int value) {
    std::unique_ptr<ExifData, ExifDataDeleter> exif(exif_data_new());
    exif_data_set_byte_order(exif.get(), EXIF_BYTE_ORDER_MOTOROLA);
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(exif->ifd[EXIF_IFD_0], entry);
    exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
    exif_set_short(entry->data, EXIF_BYTE_ORDER_MOTOROLA, static_cast<ExifShort>(value));
    exif_entry_unref(entry);  // the block holds it now
    unsigned char* block = nullptr;
    unsigned int length = 0;
    exif_data_save_data(exif.get(), &block, &length);
    std::unique_ptr<unsigned char, decltype(&std::free)> owned(block, &std::free);

    const unsigned segment = length + 2;  // the length field counts itself
    std::vector<std::uint8_t> out(jpeg.begin(),
                                  jpeg.begin() + std::min<std::size_t>(2, jpeg.size()));
    out.insert(out.end(), {0xFF, 0xE1, static_cast<std::uint8_t>(segment >> 8),
                           static_cast<std::uint8_t>(segment & 0xFF)});
    out.insert(out.end(), block, block + length);
    out.insert(out.end(),
               jpeg.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(2, jpeg.size())),
               jpeg.end());
    return out;
}

}  // namespace platform::graphics
