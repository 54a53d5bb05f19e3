#include "imaging/process_capture.h"

#include "imaging/crop_rect.h"
#include "imaging/image_by_scaling_and_cropping.h"
#include "imaging/orient_pixels.h"
#include "imaging/scale_and_rotate_image.h"
#include "imaging/upright_geometry.h"

namespace imaging {

using platform::foundation::Size;
using platform::graphics::Image;
using platform::graphics::ImagePtr;
using platform::graphics::PixelBuffer;

ImagePtr processCapture(const Image& taken, float zoom, ResolutionPreset preset) {
    const Size takenSize = taken.size();
    const UprightGeometry g = uprightGeometry(taken);
    const PixelRect region =
        pixelRectIn(cropRect(takenSize, zoom, preset), g.outputWidth, g.outputHeight);
    const Size target = targetSize(preset, takenSize);
    if (region.empty()) return imageByScalingAndCroppingForSize(target, nullptr);

    const PixelBuffer::Format format = taken.pixels().format();
    const Size croppedSize{static_cast<float>(region.width), static_cast<float>(region.height)};
    if (g.reduces) {
        const ImagePtr upright = scaleAndRotateImage(taken);
        return imageByScalingAndCroppingPixels(target, viewOf(upright->pixels()).sub(region),
                                               croppedSize, format);
    }
    auto cropped = std::make_shared<PixelBuffer>(region.width, region.height, format,
                                                 PixelBuffer::Contents::Unspecified);
    orientPixels(viewOf(taken.pixels()), taken.imageOrientation(), region, viewOf(*cropped));
    // Drawn 1:1 into a surface of its own size, the crop is already the result.
    if (croppedSize == target) return Image::withPixels(std::move(cropped));
    return imageByScalingAndCroppingPixels(target, viewOf(*cropped), croppedSize, format);
}

}  // namespace imaging
