#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/graphics/image.h"

namespace platform::graphics {

// The tag for an EXIF orientation value (1..8); anything else means the picture is upright.
ImageOrientation orientationFromExif(int value);
int exifFromOrientation(ImageOrientation orientation);

// The orientation a JPEG file's EXIF block records; Up when there is none or it is invalid.
ImageOrientation readExifOrientation(std::span<const std::uint8_t> jpeg);

// The JPEG file with an EXIF block recording the orientation value (any integer, so that
// invalid ones can be written too) inserted after its start marker.
std::vector<std::uint8_t> withExifOrientation(std::span<const std::uint8_t> jpeg, int value);

}  // namespace platform::graphics
