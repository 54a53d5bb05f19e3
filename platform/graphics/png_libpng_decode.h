#pragma once

#include <cstdint>
#include <span>

#include "platform/graphics/codec_result.h"

namespace platform::graphics {

// Decodes any PNG through libpng: the kinds our own reading leaves aside (palette, grey,
// 16-bit, interlaced, colour keys). Same result as decodePng.
DecodeResult decodePngWithLibpng(std::span<const std::uint8_t> bytes);

}  // namespace platform::graphics
