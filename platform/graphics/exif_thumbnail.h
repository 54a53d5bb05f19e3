#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/graphics/exif_writer.h"
#include "platform/graphics/image.h"

namespace platform::graphics {

// The small JPEG picture a camera keeps in a photograph's EXIF block, stored as the photograph
// is (its orientation tag applies to both). Nothing when there is none.
std::optional<std::vector<std::uint8_t>> readExifThumbnail(std::span<const std::uint8_t> jpeg);

// The largest thumbnail an EXIF block has room for, with the rest of the block.
inline constexpr std::size_t kMaxExifThumbnailBytes = 60000;

// The JPEG file with an EXIF block recording the orientation and holding the thumbnail (a
// JPEG file too). A thumbnail larger than kMaxExifThumbnailBytes is left out.
std::vector<std::uint8_t> withExifThumbnail(std::span<const std::uint8_t> jpeg,
                                            std::span<const std::uint8_t> thumbnailJpeg,
                                            ImageOrientation orientation);
// The same with the other fields given: the thumbnail and orientation of `fields` are these.
std::vector<std::uint8_t> withExifThumbnail(std::span<const std::uint8_t> jpeg,
                                            std::span<const std::uint8_t> thumbnailJpeg,
                                            ImageOrientation orientation, ExifFields fields);

}  // namespace platform::graphics
