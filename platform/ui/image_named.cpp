#include "platform/ui/image_named.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"

namespace platform::ui {

namespace {
float gScreenScale = 1;
std::map<std::string, graphics::ImagePtr, std::less<>> gCache;
std::set<std::string, std::less<>> gReported;

std::string retinaName(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return std::string(name) + "@2x";
    return std::string(name.substr(0, dot)) + "@2x" + std::string(name.substr(dot));
}

graphics::ImagePtr loadPng(const std::string& path, float scale) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    graphics::ImagePtr image;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(surface);
        const int w = cairo_image_surface_get_width(surface);
        const int h = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const auto format = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24
                                ? graphics::PixelBuffer::Format::Rgb24
                                : graphics::PixelBuffer::Format::Argb32;
        auto pixels = std::make_shared<graphics::PixelBuffer>(w, h, format);
        const unsigned char* source = cairo_image_surface_get_data(surface);
        for (int y = 0; y < h; ++y)
            std::memcpy(pixels->row(y), source + static_cast<std::ptrdiff_t>(y) * stride,
                        static_cast<std::size_t>(w) * 4);
        image = std::make_shared<graphics::Image>(pixels, graphics::ImageOrientation::Up, scale);
    }
    cairo_surface_destroy(surface);
    return image;
}

std::optional<graphics::ImagePtr> loadNamed(std::string_view name) {
    const auto& bundle = foundation::Bundle::main();
    if (gScreenScale > 1) {
        if (auto path = bundle.pathForFile(retinaName(name)))
            if (auto image = loadPng(path->string(), 2.0f)) return image;
    }
    if (auto path = bundle.pathForFile(name))
        if (auto image = loadPng(path->string(), 1.0f)) return image;
    return std::nullopt;
}
}  // namespace

float screenScale() {
    return gScreenScale;
}

void setScreenScale(float scale) {
    const float clamped = std::clamp(scale, kLeastScreenScale, kGreatestScreenScale);
    if (clamped == gScreenScale) return;
    gScreenScale = clamped;
    gCache.clear();
}

graphics::ImagePtr imageNamed(std::string_view name) {
    if (auto it = gCache.find(name); it != gCache.end()) return it->second;
    auto image = loadNamed(name);
    if (!image) {
        if (gReported.emplace(name).second)
            foundation::logWarning("missing picture resource \"%@\"", std::string(name));
        return nullptr;
    }
    gCache.emplace(std::string(name), *image);
    return *image;
}

}  // namespace platform::ui
