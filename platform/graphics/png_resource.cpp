#include "platform/graphics/png_resource.h"

#include <cairo.h>

#include <cstring>

namespace platform::graphics {

std::shared_ptr<PixelBuffer> readPngResource(const std::filesystem::path& path) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    std::shared_ptr<PixelBuffer> pixels;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(surface);
        const int w = cairo_image_surface_get_width(surface);
        const int h = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const auto format = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24
                                ? PixelBuffer::Format::Rgb24
                                : PixelBuffer::Format::Argb32;
        pixels = std::make_shared<PixelBuffer>(w, h, format);
        const unsigned char* source = cairo_image_surface_get_data(surface);
        for (int y = 0; y < h; ++y)
            std::memcpy(pixels->row(y), source + static_cast<std::ptrdiff_t>(y) * stride,
                        static_cast<std::size_t>(w) * 4);
    }
    cairo_surface_destroy(surface);
    return pixels;
}

}  // namespace platform::graphics
