#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/foundation/geometry.h"
#include "platform/graphics/pixel_memory.h"

namespace platform::graphics {

// How a picture's stored pixels must be turned or mirrored to be seen upright.
enum class ImageOrientation : int {
    Up = 0,
    Down = 1,
    Left = 2,
    Right = 3,
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7,
};

bool isSideways(ImageOrientation orientation);

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

// A picture: shared, immutable pixels, a size in points, a scale and an orientation tag.
class Image {
  public:
    Image(std::shared_ptr<const PixelBuffer> pixels, ImageOrientation orientation, float scale);

    // Wraps a pixel image as a picture of tag Up and scale 1.
    static std::shared_ptr<const Image> withPixels(std::shared_ptr<const PixelBuffer> pixels);

    const PixelBuffer& pixels() const { return *pixels_; }
    const std::shared_ptr<const PixelBuffer>& pixelBuffer() const { return pixels_; }
    ImageOrientation imageOrientation() const { return orientation_; }
    float scale() const { return scale_; }
    // Display size in points: the pixel size over the scale, swapped for sideways tags.
    foundation::Size size() const;

  private:
    std::shared_ptr<const PixelBuffer> pixels_;
    ImageOrientation orientation_;
    float scale_;
};

using ImagePtr = std::shared_ptr<const Image>;

}  // namespace platform::graphics
