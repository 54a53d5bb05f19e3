#pragma once

#include <memory>

#include "platform/foundation/geometry.h"
#include "platform/graphics/image.h"

typedef struct _cairo_surface cairo_surface_t;

namespace platform::graphics {

// Pixels that cairo draws on: `size` points at `scale` pixels per point, held in a
// PixelBuffer so that the codecs and tests read them directly.
class Surface {
  public:
    enum class Content { Opaque, Transparent };

    Surface(foundation::Size size, float scale, Content content);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    foundation::Size size() const { return size_; }
    float scale() const { return scale_; }
    Content content() const { return content_; }
    // The pixels as drawn so far.
    const PixelBuffer& pixels() const;

  private:
    // Only drawing reaches cairo's surface: no caller outside this module sees cairo.
    friend class DrawingContext;
    cairo_surface_t* handle() const { return surface_; }

    foundation::Size size_;
    float scale_;
    Content content_;
    std::unique_ptr<PixelBuffer> pixels_;
    cairo_surface_t* surface_ = nullptr;
};

}  // namespace platform::graphics
