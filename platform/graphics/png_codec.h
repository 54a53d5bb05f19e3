#pragma once

#include <cstdint>
#include <span>

#include "platform/graphics/codec_result.h"

namespace platform::graphics {

// Decodes any PNG (palette, grey, 16-bit, interlaced, with or without alpha) into a picture of
// tag Up and scale 1: Rgb24 when the file has no alpha, else premultiplied Argb32. Samples
// are shown as stored (16-bit ones scaled with rounding), without gamma conversion. What
// album pictures and our own files are, 8-bit RGB or RGBA, is read in one pass over the
// image data on every core; libpng reads the rest. Damaged files are refused, whatever
// the damage: chunk checksums, the zlib stream's own, and its length.
DecodeResult decodePng(std::span<const std::uint8_t> bytes);

// Encodes the pixels (RGB when every pixel is opaque, else RGBA), tuned for speed: the PNG of
// every previewed album picture is made while the user waits. The rows are filtered Up
// (smaller and quicker to compress than Sub on photographs) and compressed at the fastest
// level on every core into one zlib stream that any decoder reads.
EncodeResult encodePng(const PixelBuffer& pixels);

}  // namespace platform::graphics
