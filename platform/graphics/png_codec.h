#pragma once

#include <cstdint>
#include <span>

#include "platform/graphics/codec_result.h"
#include "platform/graphics/png_chunks.h"

namespace platform::graphics {

// Decodes any PNG (palette, grey, 16-bit, interlaced, with or without alpha) into a picture of
// tag Up and scale 1: Rgb24 when the file has no alpha, else premultiplied Argb32. Samples
// are shown as stored (16-bit ones scaled with rounding), without gamma conversion. What
// album pictures and our own files are, 8-bit RGB or RGBA, is read in one pass over the
// image data on every core, or, for larger pictures or a tight memory budget, a stretch of rows
// at a time on one; libpng reads the rest. Damaged files are refused, whatever the damage:
// chunk checksums, the zlib stream's own, and its length. So is a picture beyond the size
// limits or the memory budget, before anything is allocated for it.
DecodeResult decodePng(std::span<const std::uint8_t> bytes);

// What decoding a PNG of this header holds beside the file and the pixels, at most (the image
// data in a single chunk): for pictures of up to about 20 megapixels, the image data inflated
// whole, unless the memory budget has no room for that; else a stretch of its rows.
std::uint64_t pngDecodingBytes(const png::Header& header);

// Encodes the pixels (RGB when every pixel is opaque, else RGBA), tuned for speed: the PNG of
// every previewed album picture is made while the user waits. The rows are filtered Up
// (smaller and quicker to compress than Sub on photographs) and compressed at the fastest
// level on every core into one zlib stream that any decoder reads.
EncodeResult encodePng(const PixelBuffer& pixels);

}  // namespace platform::graphics
