#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::graphics {

// When a photograph was taken, as galleries sort by it: the local date and time
// ("YYYY:MM:DD HH:MM:SS") and that time's offset from UTC ("+01:00").
struct ExifMoment {
    std::string localTime;
    std::string offset;
    static ExifMoment of(std::chrono::system_clock::time_point when);
};

// What the EXIF block of a JPEG file we write records. Empty fields are left out.
struct ExifFields {
    int orientation = 1;  // any integer, so that invalid values can be written too
    std::span<const std::uint8_t>
        thumbnail;                        // a JPEG picture for the thumbnail directory; empty: none
    std::optional<ExifMoment> taken;      // DateTimeOriginal, DateTimeDigitized and their offsets
    int pixelWidth = 0, pixelHeight = 0;  // PixelXDimension, PixelYDimension
    std::string software, make, model;
};

// The JPEG file with an EXIF block of these fields inserted after its start marker. A block
// that would not fit in one JPEG segment (64 KiB) throws std::length_error.
std::vector<std::uint8_t> withExif(std::span<const std::uint8_t> jpeg, const ExifFields& fields);

}  // namespace platform::graphics
