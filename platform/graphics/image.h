#pragma once

#include <memory>

#include "platform/foundation/geometry.h"
#include "platform/graphics/pixel_buffer.h"

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
