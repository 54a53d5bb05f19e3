#include "platform/graphics/exif_orientation.h"

#include <libexif/exif-data.h>

#include <array>
#include <memory>

#include "platform/graphics/exif_writer.h"

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
    ExifFields fields;
    fields.orientation = value;
    return withExif(jpeg, fields);
}

}  // namespace platform::graphics
