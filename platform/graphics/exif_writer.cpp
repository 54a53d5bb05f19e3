#include "platform/graphics/exif_writer.h"

#include <libexif/exif-data.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

namespace platform::graphics {

namespace {

constexpr ExifByteOrder kByteOrder = EXIF_BYTE_ORDER_MOTOROLA;
// JPEG's compression code in a TIFF directory.
constexpr ExifShort kJpegCompression = 6;

struct ExifDataDeleter {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};

// A tag with the value libexif gives it by default.
ExifEntry* addEntry(ExifContent* directory, ExifTag tag) {
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(directory, entry);
    exif_entry_initialize(entry, tag);
    exif_entry_unref(entry);  // the directory holds it now
    return entry;
}

void addShort(ExifContent* directory, ExifTag tag, ExifShort value) {
    ExifEntry* entry = addEntry(directory, tag);
    if (!entry->data || entry->format != EXIF_FORMAT_SHORT) throw std::bad_alloc();
    exif_set_short(entry->data, kByteOrder, value);
}

// libexif writes the thumbnail's offset and length itself; the standard also asks every
// thumbnail directory to say that it is a JPEG and at what resolution.
void addThumbnail(ExifData* exif, std::span<const std::uint8_t> thumbnail) {
    // The block frees the thumbnail with its default allocator, which is malloc's.
    auto* copy = static_cast<unsigned char*>(std::malloc(thumbnail.size()));
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, thumbnail.data(), thumbnail.size());
    exif->data = copy;
    exif->size = static_cast<unsigned int>(thumbnail.size());
    ExifContent* directory = exif->ifd[EXIF_IFD_1];
    addShort(directory, EXIF_TAG_COMPRESSION, kJpegCompression);
    addEntry(directory, EXIF_TAG_X_RESOLUTION);
    addEntry(directory, EXIF_TAG_Y_RESOLUTION);
    addEntry(directory, EXIF_TAG_RESOLUTION_UNIT);
}

}  // namespace

std::vector<std::uint8_t> withExif(std::span<const std::uint8_t> jpeg, const ExifFields& fields) {
    if (fields.thumbnail.size() > 0xFFFF) throw std::length_error("EXIF thumbnail too large");
    std::unique_ptr<ExifData, ExifDataDeleter> exif(exif_data_new());
    if (!exif) throw std::bad_alloc();
    exif_data_set_byte_order(exif.get(), kByteOrder);
    ExifContent* picture = exif->ifd[EXIF_IFD_0];
    addShort(picture, EXIF_TAG_ORIENTATION, static_cast<ExifShort>(fields.orientation));
    // What the standard requires of every JPEG's main directory, so that strict readers
    // accept the block: libexif's defaults are the standard's.
    for (const ExifTag tag : {EXIF_TAG_X_RESOLUTION, EXIF_TAG_Y_RESOLUTION,
                              EXIF_TAG_RESOLUTION_UNIT, EXIF_TAG_YCBCR_POSITIONING})
        addEntry(picture, tag);
    if (!fields.thumbnail.empty()) addThumbnail(exif.get(), fields.thumbnail);

    unsigned char* block = nullptr;
    unsigned int length = 0;
    exif_data_save_data(exif.get(), &block, &length);
    std::unique_ptr<unsigned char, decltype(&std::free)> owned(block, &std::free);
    if (!block) throw std::bad_alloc();
    const std::size_t segment = std::size_t{length} + 2;  // the length field counts itself
    if (segment > 0xFFFF) throw std::length_error("EXIF block too large for a JPEG segment");

    const std::size_t marker = std::min<std::size_t>(2, jpeg.size());
    std::vector<std::uint8_t> out;
    out.reserve(jpeg.size() + segment + 2);
    out.insert(out.end(), jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(marker));
    out.insert(out.end(), {0xFF, 0xE1, static_cast<std::uint8_t>(segment >> 8),
                           static_cast<std::uint8_t>(segment & 0xFF)});
    out.insert(out.end(), block, block + length);
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(marker), jpeg.end());
    return out;
}

}  // namespace platform::graphics
