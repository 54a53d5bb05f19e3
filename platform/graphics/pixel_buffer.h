#pragma once

#include <cstdint>

#include "platform/graphics/pixel_memory.h"

namespace platform::graphics {

// 32-bit pixels in cairo's native layout, so that they draw without conversion:
// Rgb24 (opaque, top byte unused) or Argb32 (premultiplied alpha), rows `stride` bytes apart.
class PixelBuffer {
  public:
    enum class Format { Rgb24, Argb32 };
    // Unspecified contents are for producers that write every pixel (decoders, resamplers).
    enum class Contents { Zeroed, Unspecified };

    // Pixels are zeroed (transparent black).
    PixelBuffer(int width, int height, Format format);
    PixelBuffer(int width, int height, Format format, Contents contents);

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    Format format() const { return format_; }
    std::uint8_t* data() { return memory_.data(); }
    const std::uint8_t* data() const { return memory_.data(); }
    std::uint32_t* row(int y) { return reinterpret_cast<std::uint32_t*>(data() + y * stride_); }
    const std::uint32_t* row(int y) const {
        return reinterpret_cast<const std::uint32_t*>(data() + y * stride_);
    }
    std::uint32_t pixel(int x, int y) const { return row(y)[x]; }
    void setPixel(int x, int y, std::uint32_t argb) { row(y)[x] = argb; }

  private:
    int width_;
    int height_;
    int stride_;
    Format format_;
    PixelMemory memory_;
};

}  // namespace platform::graphics
