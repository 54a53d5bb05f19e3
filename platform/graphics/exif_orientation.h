#pragma once

#include <cstdint>
#include <span>

#include "platform/graphics/image.h"

namespace platform::graphics {

// The tag for an EXIF orientation value (1..8); anything else means the picture is upright.
ImageOrientation orientationFromExif(int value);
int exifFromOrientation(ImageOrientation orientation);

// The orientation a JPEG file's EXIF block records; Up when there is none or it is invalid.
ImageOrientation readExifOrientation(std::span<const std::uint8_t> jpeg);

}  // namespace platform::graphics
