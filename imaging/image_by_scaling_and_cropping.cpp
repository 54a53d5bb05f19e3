#include "imaging/image_by_scaling_and_cropping.h"

#include <cmath>
#include <optional>

#include "imaging/fill_rect.h"
#include "imaging/orient_pixels.h"
#include "imaging/resample.h"
#include "platform/foundation/log.h"
#include "platform/graphics/picture_limits.h"

namespace imaging {

using platform::foundation::Size;
using platform::graphics::Image;
using platform::graphics::ImageOrientation;
using platform::graphics::ImagePtr;
using platform::graphics::PixelBuffer;

namespace {

ImagePtr couldNotScale() {
    platform::foundation::SystemLog::write("could not scale image");
    return nullptr;
}

// The drawing surface for a target size, in whole pixels; none for sizes no surface can have.
std::optional<PixelRect> surfaceFor(Size target) {
    if (!std::isfinite(target.width) || !std::isfinite(target.height)) return std::nullopt;
    const double width = std::ceil(double(target.width));
    const double height = std::ceil(double(target.height));
    if (platform::graphics::pictureSizeError(static_cast<std::int64_t>(std::max(width, 0.0)),
                                             static_cast<std::int64_t>(std::max(height, 0.0))))
        return std::nullopt;
    return PixelRect{0, 0, static_cast<int>(width), static_cast<int>(height)};
}

}  // namespace

ImagePtr imageByScalingAndCroppingPixels(Size target, PixelView source, Size sourceSize,
                                         PixelBuffer::Format format) {
    const std::optional<PixelRect> surface = surfaceFor(target);
    if (!surface || source.width == 0 || source.height == 0) return couldNotScale();
    auto scaled = std::make_shared<PixelBuffer>(surface->width, surface->height, format,
                                                PixelBuffer::Contents::Unspecified);
    drawScaled(source, viewOf(*scaled), aspectFillRect(sourceSize, target), format);
    return Image::withPixels(std::move(scaled));
}

ImagePtr imageByScalingAndCroppingForSize(Size target, const ImagePtr& image) {
    if (!image) return couldNotScale();
    const PixelBuffer& stored = image->pixels();
    if (image->imageOrientation() == ImageOrientation::Up)
        return imageByScalingAndCroppingPixels(target, viewOf(stored), image->size(),
                                               stored.format());
    // A tagged picture is drawn as it is seen: turned first, then scaled.
    const bool sideways = platform::graphics::isSideways(image->imageOrientation());
    const int width = sideways ? stored.height() : stored.width();
    const int height = sideways ? stored.width() : stored.height();
    PixelBuffer upright(width, height, stored.format(), PixelBuffer::Contents::Unspecified);
    orientPixels(viewOf(stored), image->imageOrientation(), {0, 0, width, height}, viewOf(upright));
    return imageByScalingAndCroppingPixels(target, viewOf(upright), image->size(), stored.format());
}

}  // namespace imaging
