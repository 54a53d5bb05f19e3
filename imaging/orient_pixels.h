#pragma once

#include "imaging/pixel_view.h"
#include "platform/graphics/image.h"

namespace imaging {

// Moves stored pixels to their upright places without filtering: `out` receives the region
// `uprightRegion` of the upright picture (out's size is the region's). Throws
// InvalidImageOrientation for a tag outside 0..7.
void orientPixels(PixelView stored, platform::graphics::ImageOrientation orientation,
                  PixelRect uprightRegion, MutablePixelView out);

}  // namespace imaging
