#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "platform/graphics/image.h"

namespace imaging {

// A rectangle of whole pixels, origin top-left.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A window onto 32-bit pixels owned elsewhere; a crop is a view, not a copy.
template <class Byte>
struct BasicPixelView {
    Byte* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes from one row to the next

    auto* row(int y) const {
        using Pixel = std::conditional_t<std::is_const_v<Byte>, const std::uint32_t, std::uint32_t>;
        return reinterpret_cast<Pixel*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    }
    operator BasicPixelView<const std::uint8_t>() const requires(!std::is_const_v<Byte>) {
        return {data, width, height, stride};
    }
    BasicPixelView sub(PixelRect r) const {
        return {data + static_cast<std::ptrdiff_t>(r.y) * stride + r.x * 4, r.width, r.height,
                stride};
    }
};

using PixelView = BasicPixelView<const std::uint8_t>;
using MutablePixelView = BasicPixelView<std::uint8_t>;

inline PixelView viewOf(const platform::graphics::PixelBuffer& pixels) {
    return {pixels.data(), pixels.width(), pixels.height(), pixels.stride()};
}
inline MutablePixelView viewOf(platform::graphics::PixelBuffer& pixels) {
    return {pixels.data(), pixels.width(), pixels.height(), pixels.stride()};
}

}  // namespace imaging
