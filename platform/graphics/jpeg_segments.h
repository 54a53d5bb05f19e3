#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/graphics/byte_source.h"

// A JPEG file's segments from its start marker to its first scan, read without the decoder:
// the frame's size and sampling, what decoding it will hold, and how CMYK samples are stored.
namespace platform::graphics::jpeg {

struct Component {
    int horizontal = 1;  // sampling factors
    int vertical = 1;
};

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<Component> components;
    bool progressive = false;
};

// An optional segment (APPn or COM) whose length runs past the end of the file, and where the
// segments go on after its real end: a damaged EXIF block, typically. Bytes [at, resumeAt)
// are left out of what is decoded.
struct Damage {
    std::uint64_t at = 0;
    std::uint64_t resumeAt = 0;
    bool exif = false;
};

struct Segments {
    std::optional<Frame> frame;
    std::uint64_t scanAt = 0;  // the first scan's marker
    // The decoder holds every coefficient of the picture until the last scan: progressive
    // files, and files whose first scan leaves some components for later ones.
    bool buffered = false;
    // An Adobe segment: four-component samples are stored inverted, as Photoshop writes them.
    bool adobe = false;
    // The first EXIF block's data ("Exif\0\0" onward), if any.
    std::uint64_t exifAt = 0;
    std::uint64_t exifLength = 0;
    std::optional<Damage> damage;
};

// The segments of the JPEG file in `bytes` (which start with its start marker), or why they
// cannot be read: a file cut short before its first scan, a segment of the frame or tables
// running past the end, bytes where a marker belongs.
std::variant<Segments, std::string> readSegments(const ByteSource& bytes);

// What the decoder's coefficient buffers for the whole picture take.
std::uint64_t coefficientBytes(const Frame& frame);

}  // namespace platform::graphics::jpeg
