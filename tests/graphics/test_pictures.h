#pragma once

#include <cmath>
#include <cstdint>
#include <memory>

#include "platform/graphics/image.h"

namespace test_pictures {

using platform::graphics::PixelBuffer;

// A smooth, photo-like opaque picture (JPEG keeps it close to the original).
inline std::shared_ptr<PixelBuffer> gradient(int width, int height) {
    auto pixels = std::make_shared<PixelBuffer>(width, height, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto r = static_cast<std::uint32_t>(255 * x / std::max(1, width - 1));
            const auto g = static_cast<std::uint32_t>(255 * y / std::max(1, height - 1));
            const auto b = static_cast<std::uint32_t>(128 + 100 * std::sin((x + y) / 9.0));
            pixels->setPixel(x, y, 0xFF000000u | r << 16 | g << 8 | b);
        }
    return pixels;
}

// Every pixel different from every other, so that any misplaced pixel shows.
inline std::uint32_t distinctPixel(int x, int y) {
    return 0xFF000000u | static_cast<std::uint32_t>(x) << 12 | static_cast<std::uint32_t>(y);
}

}  // namespace test_pictures
