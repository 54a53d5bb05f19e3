#include "platform/graphics/surface.h"

#include <cairo.h>

#include <cmath>

namespace platform::graphics {

namespace {
int pixelsFor(float points, float scale) {
    return std::max(1, static_cast<int>(std::lround(points * scale)));
}
}  // namespace

Surface::Surface(foundation::Size size, float scale, Content content)
    : size_(size), scale_(scale > 0.0f ? scale : 1.0f), content_(content) {
    const bool opaque = content == Content::Opaque;
    pixels_ = std::make_unique<PixelBuffer>(
        pixelsFor(size.width, scale_), pixelsFor(size.height, scale_),
        opaque ? PixelBuffer::Format::Rgb24 : PixelBuffer::Format::Argb32);
    surface_ = cairo_image_surface_create_for_data(
        pixels_->data(), opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, pixels_->width(),
        pixels_->height(), pixels_->stride());
}

Surface::~Surface() {
    cairo_surface_destroy(surface_);
}

const PixelBuffer& Surface::pixels() const {
    cairo_surface_flush(surface_);
    return *pixels_;
}

}  // namespace platform::graphics
