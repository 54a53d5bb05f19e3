#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/graphics/byte_source.h"

namespace platform::graphics {

// What a picture file's header says, read without its image data: enough to refuse the file
// before reading or decoding the rest.
struct PictureHeader {
    enum class Format { Jpeg, Png };
    Format format = Format::Jpeg;
    std::int64_t width = 0;  // stored, before any EXIF turn
    std::int64_t height = 0;
    bool hasAlpha = false;  // an alpha channel or a transparency chunk
    bool upright = true;    // no EXIF orientation asks for it to be turned
    // What decoding holds beside the file's bytes and the decoded pixels.
    std::uint64_t decodingBytes = 0;
    // No file of a picture of this size and kind needs to be larger: its image data
    // uncompressed, with room to spare for metadata and trailers.
    std::uint64_t largestFile = 0;
};

// The header of the JPEG or PNG file in `bytes`, or why there is none (another kind of file,
// or a header cut short or damaged). The size is as stored, not yet checked against the limits.
std::variant<PictureHeader, std::string> readPictureHeader(const ByteSource& bytes);

}  // namespace platform::graphics
