#pragma once

#include <cstdint>

#include "platform/foundation/geometry.h"
#include "platform/graphics/image.h"

namespace platform::graphics {

// 32-bit pixels that belong to someone else: `width` × `height`, rows `stride` bytes apart.
template <class Byte>
struct PixelRows {
    Byte* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// Draws `source` stretched over `drawRect` (in destination pixels; larger than the source on
// both axes) into rows [first, last) of `destination`, replacing what is there: pixman's
// vectorised bilinear filter, through cairo, which samples at pixel centres and extends the
// source's edge pixels outwards. Both hold pixels of `format`. Separate bands of one
// destination may be drawn at once on separate threads.
void enlargeBilinear(PixelRows<const std::uint8_t> source, PixelRows<std::uint8_t> destination,
                     foundation::Rect drawRect, PixelBuffer::Format format, int first, int last);

}  // namespace platform::graphics
