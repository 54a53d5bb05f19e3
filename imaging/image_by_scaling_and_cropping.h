#pragma once

#include "imaging/pixel_view.h"
#include "platform/foundation/geometry.h"
#include "platform/graphics/image.h"

namespace imaging {

// A new picture of exactly the target size (a fractional size rounds up to whole pixels),
// covered by the given one by aspect fill with a centred cut. Null, with "could not scale
// image" in the log, when there is no picture or no surface of that size can be made.
platform::graphics::ImagePtr imageByScalingAndCroppingForSize(
    platform::foundation::Size target, const platform::graphics::ImagePtr& image);

// The same for upright pixels that are not a picture of their own, e.g. a crop's view:
// `sourceSize` is their size in points.
platform::graphics::ImagePtr imageByScalingAndCroppingPixels(
    platform::foundation::Size target, PixelView source, platform::foundation::Size sourceSize,
    platform::graphics::PixelBuffer::Format format);

}  // namespace imaging
