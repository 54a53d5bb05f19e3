#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace platform::graphics {

// What the EXIF block of a JPEG file we write records.
struct ExifFields {
    int orientation = 1;  // any integer, so that invalid values can be written too
    std::span<const std::uint8_t>
        thumbnail;  // a JPEG picture for the thumbnail directory; empty: none
};

// The JPEG file with an EXIF block of these fields inserted after its start marker. A block
// that would not fit in one JPEG segment (64 KiB) throws std::length_error.
std::vector<std::uint8_t> withExif(std::span<const std::uint8_t> jpeg, const ExifFields& fields);

}  // namespace platform::graphics
