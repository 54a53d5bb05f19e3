#include "imaging/process_capture.h"

#include <algorithm>
#include <cmath>

#include "imaging/crop_rect.h"
#include "imaging/image_by_scaling_and_cropping.h"
#include "imaging/orient_pixels.h"
#include "imaging/scale_and_rotate_image.h"
#include "imaging/upright_geometry.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/memory_budget.h"

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

std::uint64_t memoryForCapture(const Image& taken, float zoom, ResolutionPreset preset) {
    using platform::graphics::pixelBytes;
    const Size takenSize = taken.size();
    const UprightGeometry g = uprightGeometry(taken);
    const PixelRect region =
        pixelRectIn(cropRect(takenSize, zoom, preset), g.outputWidth, g.outputHeight);
    const Size target = targetSize(preset, takenSize);
    // A reducing shot is scaled, then turned upright whole; any other has its region turned.
    const std::uint64_t steps = g.reduces ? pixelBytes(g.scaledWidth, g.scaledHeight) +
                                                pixelBytes(g.outputWidth, g.outputHeight)
                                          : pixelBytes(region.width, region.height);
    const auto width = static_cast<int>(std::min(std::ceil(double(target.width)), 1e9));
    const auto height = static_cast<int>(std::min(std::ceil(double(target.height)), 1e9));
    // The encoder's buffer, the JPEG taken out of it, and the copy with its EXIF block.
    const std::uint64_t encoding = 3 * platform::graphics::largestJpeg(width, height);
    return pixelBytes(taken.pixels().width(), taken.pixels().height()) + steps +
           pixelBytes(width, height) + encoding;
}

}  // namespace imaging
