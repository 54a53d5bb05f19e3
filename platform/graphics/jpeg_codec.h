#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/graphics/codec_result.h"

namespace platform::graphics {

inline constexpr int kDefaultJpegQuality = 95;

// Decodes a JPEG file into an opaque picture of scale 1 whose tag is the file's EXIF
// orientation. Truncated or corrupt data, other file types and oversized pictures are refused.
DecodeResult decodeJpeg(std::span<const std::uint8_t> bytes);

// Decodes at the smallest of the decoder's reductions (1/8, 1/4, 3/8, 1/2, ...) whose longer
// side is still at least `minimumLongSide`, or at full size when even that is smaller: reducing
// inside the decoder skips most of the work, so thumbnails never pay for the full picture. The
// same tag, limits (on the stored size) and refusals as decodeJpeg.
DecodeResult decodeJpegScaled(std::span<const std::uint8_t> bytes, int minimumLongSide);

struct JpegSize {
    int width = 0;
    int height = 0;
};
// The stored size from the frame header, without decoding; nothing when it cannot be read.
std::optional<JpegSize> readJpegSize(std::span<const std::uint8_t> bytes);

// Encodes with 4:2:0 chroma subsampling; alpha is dropped (pixels are shown over black).
EncodeResult encodeJpeg(const PixelBuffer& pixels, int quality = kDefaultJpegQuality);

}  // namespace platform::graphics
