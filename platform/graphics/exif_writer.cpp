#include "platform/graphics/exif_writer.h"

#include <libexif/exif-data.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <stdexcept>

namespace platform::graphics {

namespace {

constexpr ExifByteOrder kByteOrder = EXIF_BYTE_ORDER_MOTOROLA;
// JPEG's compression code in a TIFF directory.
constexpr ExifShort kJpegCompression = 6;
constexpr ExifShort kSrgb = 1;

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

void addLong(ExifContent* directory, ExifTag tag, ExifLong value) {
    ExifEntry* entry = addEntry(directory, tag);
    if (!entry->data) throw std::bad_alloc();
    if (entry->format == EXIF_FORMAT_SHORT)
        exif_set_short(entry->data, kByteOrder, static_cast<ExifShort>(value));
    else
        exif_set_long(entry->data, kByteOrder, value);
}

// Text, with its closing zero, in memory the block frees with its own allocator (malloc's).
void addText(ExifContent* directory, ExifTag tag, const std::string& text) {
    if (text.empty()) return;
    ExifEntry* entry = exif_entry_new();
    if (!entry) throw std::bad_alloc();
    auto* data = static_cast<unsigned char*>(std::malloc(text.size() + 1));
    if (!data) {
        exif_entry_unref(entry);
        throw std::bad_alloc();
    }
    std::memcpy(data, text.c_str(), text.size() + 1);
    entry->tag = tag;
    entry->format = EXIF_FORMAT_ASCII;
    entry->components = text.size() + 1;
    entry->size = static_cast<unsigned int>(text.size() + 1);
    entry->data = data;
    exif_content_add_entry(directory, entry);
    exif_entry_unref(entry);
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

ExifMoment ExifMoment::of(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char time[32];
    std::strftime(time, sizeof time, "%Y:%m:%d %H:%M:%S", &local);
    const int minutes = static_cast<int>(std::labs(local.tm_gmtoff) / 60 % (24 * 60));
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", local.tm_gmtoff < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return {time, zone};
}

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
    addText(picture, EXIF_TAG_MAKE, fields.make);
    addText(picture, EXIF_TAG_MODEL, fields.model);
    addText(picture, EXIF_TAG_SOFTWARE, fields.software);
    ExifContent* photo = exif->ifd[EXIF_IFD_EXIF];
    if (fields.taken) {
        addText(picture, EXIF_TAG_DATE_TIME, fields.taken->localTime);
        addText(photo, EXIF_TAG_DATE_TIME_ORIGINAL, fields.taken->localTime);
        addText(photo, EXIF_TAG_DATE_TIME_DIGITIZED, fields.taken->localTime);
        addText(photo, EXIF_TAG_OFFSET_TIME, fields.taken->offset);
        addText(photo, EXIF_TAG_OFFSET_TIME_ORIGINAL, fields.taken->offset);
        addText(photo, EXIF_TAG_OFFSET_TIME_DIGITIZED, fields.taken->offset);
    }
    if (fields.pixelWidth > 0 && fields.pixelHeight > 0) {
        addLong(photo, EXIF_TAG_PIXEL_X_DIMENSION, static_cast<ExifLong>(fields.pixelWidth));
        addLong(photo, EXIF_TAG_PIXEL_Y_DIMENSION, static_cast<ExifLong>(fields.pixelHeight));
    }
    if (fields.taken || fields.pixelWidth > 0) {
        // The time offsets came with version 2.31 of the standard; the pixels are sRGB.
        ExifEntry* version = addEntry(photo, EXIF_TAG_EXIF_VERSION);
        if (!version->data || version->size != 4) throw std::bad_alloc();
        std::memcpy(version->data, "0231", 4);
        addShort(photo, EXIF_TAG_COLOR_SPACE, kSrgb);
        addEntry(photo, EXIF_TAG_COMPONENTS_CONFIGURATION);
        addEntry(photo, EXIF_TAG_FLASH_PIX_VERSION);
    }
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
