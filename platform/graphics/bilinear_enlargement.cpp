#include "platform/graphics/bilinear_enlargement.h"

#include <cairo.h>

namespace platform::graphics {

void enlargeBilinear(PixelRows<const std::uint8_t> source, PixelRows<std::uint8_t> destination,
                     foundation::Rect drawRect, PixelBuffer::Format format, int first, int last) {
    const cairo_format_t cairoFormat =
        format == PixelBuffer::Format::Rgb24 ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32;
    // Cairo only reads a source surface; its API just does not say so.
    cairo_surface_t* from =
        cairo_image_surface_create_for_data(const_cast<std::uint8_t*>(source.data), cairoFormat,
                                            source.width, source.height, source.stride);
    cairo_surface_t* to = cairo_image_surface_create_for_data(
        destination.data + static_cast<std::ptrdiff_t>(first) * destination.stride, cairoFormat,
        destination.width, last - first, destination.stride);
    cairo_t* cr = cairo_create(to);
    cairo_translate(cr, drawRect.x(), double(drawRect.y()) - first);
    cairo_scale(cr, double(drawRect.width()) / source.width,
                double(drawRect.height()) / source.height);
    cairo_set_source_surface(cr, from, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(to);
    cairo_surface_destroy(from);
}

}  // namespace platform::graphics
