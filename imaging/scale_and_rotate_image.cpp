#include "imaging/scale_and_rotate_image.h"

#include "imaging/orient_pixels.h"
#include "imaging/resample.h"
#include "imaging/upright_geometry.h"

namespace imaging {

using platform::graphics::Image;
using platform::graphics::ImagePtr;
using platform::graphics::PixelBuffer;

ImagePtr scaleAndRotateImage(const Image& image) {
    const UprightGeometry g = uprightGeometry(image);
    const PixelBuffer& stored = image.pixels();
    // Pixels are never changed once made: an upright picture of scale 1 shares them.
    if (!g.reduces && image.imageOrientation() == platform::graphics::ImageOrientation::Up)
        return Image::withPixels(image.pixelBuffer());
    PixelView source = viewOf(stored);
    PixelBuffer reduced(0, 0, stored.format());
    if (g.reduces) {
        // Scaling before turning touches fewer pixels; the result is the same.
        reduced = PixelBuffer(g.scaledWidth, g.scaledHeight, stored.format(),
                              PixelBuffer::Contents::Unspecified);
        drawScaled(source, viewOf(reduced), {0.0f, 0.0f, g.boundsWidth, g.boundsHeight},
                   stored.format());
        source = viewOf(reduced);
    }
    auto upright = std::make_shared<PixelBuffer>(g.outputWidth, g.outputHeight, stored.format(),
                                                 PixelBuffer::Contents::Unspecified);
    orientPixels(source, image.imageOrientation(), {0, 0, g.outputWidth, g.outputHeight},
                 viewOf(*upright));
    return Image::withPixels(std::move(upright));
}

}  // namespace imaging
