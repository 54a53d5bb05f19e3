#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/graphics/image.h"
#include "platform/graphics/jpeg_codec.h"

namespace test_pictures {

using platform::graphics::Image;
using platform::graphics::ImageOrientation;
using platform::graphics::ImagePtr;
using platform::graphics::PixelBuffer;

// A picture whose pixels are `colour(x, y)`.
template <class Colour>
std::shared_ptr<PixelBuffer> pixelsOf(int width, int height, Colour colour,
                                      PixelBuffer::Format format = PixelBuffer::Format::Rgb24) {
    auto pixels = std::make_shared<PixelBuffer>(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels->setPixel(x, y, colour(x, y));
    return pixels;
}

// A smooth, photo-like opaque picture (JPEG keeps it close to the original).
inline std::shared_ptr<PixelBuffer> gradient(int width, int height) {
    return pixelsOf(width, height, [&](int x, int y) {
        const auto r = static_cast<std::uint32_t>(255 * x / std::max(1, width - 1));
        const auto g = static_cast<std::uint32_t>(255 * y / std::max(1, height - 1));
        const auto b = static_cast<std::uint32_t>(128 + 100 * std::sin((x + y) / 9.0));
        return 0xFF000000u | r << 16 | g << 8 | b;
    });
}

inline std::shared_ptr<PixelBuffer> solid(int width, int height, std::uint32_t colour) {
    return pixelsOf(width, height, [colour](int, int) { return colour; });
}

constexpr std::uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu,
                        kWhite = 0xFFFFFFFFu;

// Four quadrants, red and green above, blue and white below, so that every turn and mirror
// shows; `level` darkens them all.
inline std::shared_ptr<PixelBuffer> quadrants(int width, int height, double level = 1.0) {
    return pixelsOf(width, height, [=](int x, int y) {
        const std::uint32_t c =
            std::vector{kRed, kGreen, kBlue, kWhite}[(y >= height / 2) * 2 + (x >= width / 2)];
        std::uint32_t dimmed = 0xFF000000u;
        for (int shift : {0, 8, 16})
            dimmed |= static_cast<std::uint32_t>(((c >> shift) & 0xFF) * level) << shift;
        return dimmed;
    });
}

inline std::vector<std::uint8_t> jpegOf(const PixelBuffer& pixels, int quality = 90) {
    return platform::graphics::encodeJpeg(pixels, quality).value();
}

// Every pixel different from every other, so that any misplaced pixel shows.
inline std::uint32_t distinctPixel(int x, int y) {
    return 0xFF000000u | static_cast<std::uint32_t>(x) << 12 | static_cast<std::uint32_t>(y);
}

inline ImagePtr distinctPicture(int width, int height, ImageOrientation tag, float scale = 1.0f) {
    return std::make_shared<const Image>(pixelsOf(width, height, distinctPixel), tag, scale);
}

// The pixel at a fraction of the picture's width and height.
inline std::uint32_t colourAt(const PixelBuffer& p, double fx, double fy) {
    return p.pixel(static_cast<int>(fx * p.width()), static_cast<int>(fy * p.height()));
}
inline std::uint32_t colourAt(const ImagePtr& picture, double fx, double fy) {
    return colourAt(picture->pixels(), fx, fy);
}

inline bool near(std::uint32_t a, std::uint32_t b, int tolerance = 40) {
    for (int shift : {0, 8, 16})
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance) return false;
    return true;
}

// The quadrant colours as the upright picture shows them: top-left, top-right, bottom-left,
// bottom-right.
inline void expectQuadrants(const PixelBuffer& picture, std::array<std::uint32_t, 4> colours) {
    const double at[4][2] = {{0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(near(colourAt(picture, at[i][0], at[i][1]), colours[i]))
            << "quadrant " << i << " of " << picture.width() << " × " << picture.height() << ": "
            << std::hex << colourAt(picture, at[i][0], at[i][1]);
}
inline void expectQuadrants(const ImagePtr& picture, std::array<std::uint32_t, 4> colours) {
    ASSERT_TRUE(picture);
    expectQuadrants(picture->pixels(), colours);
}

inline bool swapsSides(ImageOrientation tag) {
    return tag == ImageOrientation::Left || tag == ImageOrientation::Right ||
           tag == ImageOrientation::LeftMirrored || tag == ImageOrientation::RightMirrored;
}

// Where stored pixel (x, y) of a w × h picture shows when the picture is drawn upright: a
// sideways one with its rows as columns, then mirrored either way as its tag says.
inline std::pair<int, int> uprightPosition(ImageOrientation tag, int x, int y, int w, int h) {
    using enum ImageOrientation;
    const bool sideways = swapsSides(tag);
    const int ux = sideways ? y : x, uy = sideways ? x : y;
    const int uw = sideways ? h : w, uh = sideways ? w : h;
    const bool flipX = tag == Down || tag == UpMirrored || tag == Right || tag == RightMirrored;
    const bool flipY = tag == Down || tag == DownMirrored || tag == Left || tag == RightMirrored;
    return {flipX ? uw - 1 - ux : ux, flipY ? uh - 1 - uy : uy};
}

constexpr ImageOrientation kEveryTag[] = {
    ImageOrientation::Up,           ImageOrientation::Down,         ImageOrientation::Left,
    ImageOrientation::Right,        ImageOrientation::UpMirrored,   ImageOrientation::DownMirrored,
    ImageOrientation::LeftMirrored, ImageOrientation::RightMirrored};

// A picture's width and height in pixels, to compare both at once.
inline std::pair<int, int> dimensions(const PixelBuffer& pixels) {
    return {pixels.width(), pixels.height()};
}

inline std::uint8_t channel(std::uint32_t pixel, int c) {
    return static_cast<std::uint8_t>(pixel >> (8 * c));
}

}  // namespace test_pictures
