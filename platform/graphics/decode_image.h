#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "platform/graphics/codec_result.h"

namespace platform::graphics {

// Decodes a JPEG (with its EXIF orientation) or a PNG, told apart by their signatures.
DecodeResult decodeImage(std::span<const std::uint8_t> bytes);

// Reads and decodes a picture file to be shown. The file is identified, and its picture's size
// checked, from its header before the rest is read: a missing, unreadable or unsupported file,
// a picture beyond the size limits, a file far larger than its picture can be, and a picture
// that would take more than the memory budget on its way to the screen (see memoryToShow in
// the source) are errors, the message beginning with the file's path.
DecodeResult decodeImageFile(const std::filesystem::path& path);

// The bytes of a picture file, read once its header has passed the same checks (the memory
// budget asked only for the file's bytes): for decoders that the caller picks itself.
Result<std::vector<std::uint8_t>> readPictureFile(const std::filesystem::path& path);

}  // namespace platform::graphics
