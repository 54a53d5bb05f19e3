#pragma once

// Photo-like stand-ins for the benchmarks: smooth shading with fine grain, roughly what a
// camera delivers, so that codecs work as hard as on a real photograph.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/jpeg_codec.h"

namespace bench {

// `grain` levels of noise around the shading; more grain makes a larger JPEG.
inline std::shared_ptr<platform::graphics::PixelBuffer> photoLikePixels(int width, int height,
                                                                        int grain = 9,
                                                                        unsigned seed = 7) {
    using platform::graphics::PixelBuffer;
    auto made = std::make_shared<PixelBuffer>(width, height, PixelBuffer::Format::Rgb24);
    PixelBuffer& pixels = *made;
    std::mt19937 noise(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const int grainHere = static_cast<int>(noise() % grain) - grain / 2;
            auto level = [grainHere](double f) {
                return static_cast<std::uint32_t>(std::clamp(f * 255 + grainHere, 0.0, 255.0));
            };
            pixels.setPixel(x, y,
                            0xFF000000u | level(0.5 + 0.4 * std::sin(6 * u + 2 * v)) << 16 |
                                level(0.3 + 0.6 * v * u) << 8 | level(0.6 - 0.4 * std::cos(9 * v)));
        }
    return made;
}

// A JPEG of the size given, stored as a phone held upright stores it (EXIF orientation 6).
inline std::vector<std::uint8_t> photoLikeJpeg(int width, int height) {
    using namespace platform::graphics;
    auto encoded = encodeJpeg(*photoLikePixels(width, height), 95);
    if (!encoded) throw std::runtime_error(encoded.error());
    return withExifOrientation(encoded.value(), 6);
}

}  // namespace bench
