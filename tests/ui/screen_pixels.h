#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>

#include "platform/graphics/drawing_context.h"
#include "platform/graphics/image.h"
#include "platform/graphics/surface.h"
#include "platform/ui/drawing/view_tree_drawing.h"
#include "tests/graphics/test_pictures.h"

// Helpers for tests that look at drawn pixels.
namespace screen_pixels {

using platform::graphics::Color;
using platform::graphics::Image;
using platform::graphics::ImagePtr;
using platform::graphics::PixelBuffer;
using platform::graphics::Surface;

// An opaque 8-bit colour, compared with a small tolerance for filtering and rounding.
struct Rgb {
    int r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Rgb& c) {
        return out << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
    }
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kBlue{0, 0, 255};

inline bool near(Rgb a, Rgb b, int tolerance = 3) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

inline Rgb rgbOf(std::uint32_t argb) {
    return {static_cast<int>(argb >> 16 & 0xFF), static_cast<int>(argb >> 8 & 0xFF),
            static_cast<int>(argb & 0xFF)};
}

inline Color colorOf(Rgb c) {
    return {c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f};
}

inline std::uint32_t argbOf(Rgb c) {
    return 0xFF000000u | static_cast<std::uint32_t>(c.r) << 16 |
           static_cast<std::uint32_t>(c.g) << 8 | static_cast<std::uint32_t>(c.b);
}

// The surface's pixel under a point (in points): the pixel whose centre is nearest.
inline Rgb pixelAt(const Surface& surface, float x, float y) {
    const int px = static_cast<int>(std::floor(x * surface.scale()));
    const int py = static_cast<int>(std::floor(y * surface.scale()));
    return rgbOf(surface.pixels().pixel(px, py));
}

inline bool samePixels(const Surface& a, const Surface& b) {
    const auto &pa = a.pixels(), &pb = b.pixels();
    const auto bytes = static_cast<std::size_t>(pa.stride() * pa.height());
    return pa.width() == pb.width() && pa.height() == pb.height() &&
           std::memcmp(pa.data(), pb.data(), bytes) == 0;
}

// A picture `width` × `height` points at `scale` whose left half is `left` and right half
// `right`.
inline ImagePtr twoColourPicture(int width, int height, Rgb left, Rgb right, float scale = 1.0f,
                                 PixelBuffer::Format format = PixelBuffer::Format::Rgb24) {
    const int w = static_cast<int>(width * scale);
    auto pixels = test_pictures::pixelsOf(
        w, static_cast<int>(height * scale),
        [&](int x, int) { return argbOf(x < w / 2 ? left : right); }, format);
    return std::make_shared<Image>(pixels, platform::graphics::ImageOrientation::Up, scale);
}

// A picture of one opaque colour.
inline ImagePtr solidPicture(int width, int height, Rgb color, float scale = 1.0f) {
    return twoColourPicture(width, height, color, color, scale, PixelBuffer::Format::Argb32);
}

// Draws a view tree on a black 320 × 480 point screen.
inline std::unique_ptr<Surface> drawScreen(platform::ui::View& root, float scale = 1.0f,
                                           double now = 0.0) {
    auto surface = std::make_unique<Surface>(platform::foundation::Size{320, 480}, scale,
                                             Surface::Content::Opaque);
    platform::graphics::DrawingContext context(*surface);
    context.fillRect({0, 0, 320, 480}, Color::black());
    platform::ui::drawViewTree(root, context, now);
    return surface;
}

}  // namespace screen_pixels
