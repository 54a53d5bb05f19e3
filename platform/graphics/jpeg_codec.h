#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/graphics/codec_result.h"

namespace platform::graphics {

inline constexpr int kDefaultJpegQuality = 95;

// Decodes a JPEG file into an opaque picture of scale 1 whose tag is the file's EXIF
// orientation. CMYK and YCCK files are shown as their inks print on white (Adobe's, marked by
// their APP14 segment, store the inks inverted). A metadata segment, such as an EXIF block,
// that runs past the end of the file is ignored with a warning: the picture decodes without
// it. Truncated or corrupt data, other file types and pictures beyond the size limits or the
// memory budget are refused, the last before anything is allocated.
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

// The most that encodeJpeg can make of a picture of width × height.
std::uint64_t largestJpeg(int width, int height);

// Encodes with 4:2:0 chroma subsampling; alpha is dropped (pixels are shown over black).
EncodeResult encodeJpeg(const PixelBuffer& pixels, int quality = kDefaultJpegQuality);

}  // namespace platform::graphics
