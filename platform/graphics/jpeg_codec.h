#pragma once

#include <cstdint>
#include <span>

#include "platform/graphics/codec_result.h"

namespace platform::graphics {

inline constexpr int kDefaultJpegQuality = 95;

// Decodes a JPEG file into an opaque picture of scale 1 whose tag is the file's EXIF
// orientation. Truncated or corrupt data, other file types and oversized pictures are refused.
DecodeResult decodeJpeg(std::span<const std::uint8_t> bytes);

// Encodes with 4:2:0 chroma subsampling; alpha is dropped (pixels are shown over black).
EncodeResult encodeJpeg(const PixelBuffer& pixels, int quality = kDefaultJpegQuality);

}  // namespace platform::graphics
