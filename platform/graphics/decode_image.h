#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "platform/graphics/codec_result.h"

namespace platform::graphics {

// Decodes a JPEG (with its EXIF orientation) or a PNG, told apart by their signatures.
DecodeResult decodeImage(std::span<const std::uint8_t> bytes);

// Reads and decodes a picture file; a missing, unreadable or unsupported file is an error.
DecodeResult decodeImageFile(const std::filesystem::path& path);

}  // namespace platform::graphics
