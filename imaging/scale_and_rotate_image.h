#pragma once

#include "platform/graphics/image.h"

namespace imaging {

// Draws the picture upright (tag Up, scale 1), its longer side bounded by the longer side of
// its display size. Pictures of scale 1 keep every pixel, moved without filtering (an upright
// one shares its pixels); larger scales are reduced by area averaging. Throws
// InvalidImageOrientation for a tag outside 0..7.
platform::graphics::ImagePtr scaleAndRotateImage(const platform::graphics::Image& image);

}  // namespace imaging
