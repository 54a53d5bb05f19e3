#pragma once

#include "platform/foundation/geometry.h"
#include "platform/graphics/image.h"

namespace imaging {

// A new picture (tag Up, scale 1) of the stored pixels that the rectangle touches, the
// rectangle being widened to whole pixels and clipped; null when it misses the image.
platform::graphics::ImagePtr imageInRect(const platform::graphics::Image& image,
                                         platform::foundation::Rect rect);

}  // namespace imaging
