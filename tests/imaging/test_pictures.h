#pragma once

#include <cstdint>
#include <memory>

#include "platform/graphics/image.h"

namespace test_pictures {

using platform::graphics::Image;
using platform::graphics::ImageOrientation;
using platform::graphics::ImagePtr;
using platform::graphics::PixelBuffer;

// Every pixel different from every other, so that any misplaced pixel shows.
inline std::uint32_t distinctPixel(int x, int y) {
    return 0xFF000000u | static_cast<std::uint32_t>(x) << 12 | static_cast<std::uint32_t>(y);
}

inline std::shared_ptr<PixelBuffer> distinctPixels(int width, int height) {
    auto pixels = std::make_shared<PixelBuffer>(width, height, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels->setPixel(x, y, distinctPixel(x, y));
    return pixels;
}

inline ImagePtr distinctPicture(int width, int height, ImageOrientation tag, float scale = 1.0f) {
    return std::make_shared<const Image>(distinctPixels(width, height), tag, scale);
}

inline std::uint8_t channel(std::uint32_t pixel, int c) {
    return static_cast<std::uint8_t>(pixel >> (8 * c));
}

}  // namespace test_pictures
