#include "platform/graphics/exif_thumbnail.h"

#include <libexif/exif-data.h>

#include <algorithm>
#include <limits>
#include <memory>

#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/exif_writer.h"

namespace platform::graphics {

namespace {

struct ExifDataDeleter {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};

bool isJpeg(const unsigned char* data, unsigned int size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> readExifThumbnail(std::span<const std::uint8_t> jpeg) {
    if (jpeg.empty()) return std::nullopt;
    // The block sits near the start: a file beyond 4 GiB is read as far as libexif can count.
    const auto size = static_cast<unsigned int>(
        std::min<std::size_t>(jpeg.size(), std::numeric_limits<unsigned int>::max()));
    std::unique_ptr<ExifData, ExifDataDeleter> exif(exif_data_new_from_data(jpeg.data(), size));
    // Some cameras store the thumbnail as uncompressed strips, which libexif does not load.
    if (!exif || !exif->data || !isJpeg(exif->data, exif->size)) return std::nullopt;
    return std::vector<std::uint8_t>(exif->data, exif->data + exif->size);
}

std::vector<std::uint8_t> withExifThumbnail(std::span<const std::uint8_t> jpeg,
                                            std::span<const std::uint8_t> thumbnailJpeg,
                                            ImageOrientation orientation) {
    return withExifThumbnail(jpeg, thumbnailJpeg, orientation, {});
}

std::vector<std::uint8_t> withExifThumbnail(std::span<const std::uint8_t> jpeg,
                                            std::span<const std::uint8_t> thumbnailJpeg,
                                            ImageOrientation orientation, ExifFields fields) {
    const bool fits = thumbnailJpeg.size() <= kMaxExifThumbnailBytes;
    fields.orientation = exifFromOrientation(orientation);
    fields.thumbnail = fits ? thumbnailJpeg : std::span<const std::uint8_t>();
    return withExif(jpeg, fields);
}

}  // namespace platform::graphics
