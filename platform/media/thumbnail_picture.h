#pragma once

#include "platform/graphics/image.h"

namespace platform::media {

// The picture upright (tag Up, scale 1) with its longer side at most `longSide` pixels,
// reduced by averaging the area each pixel covers; never enlarged. Throws
// imaging::InvalidImageOrientation for a tag outside the eight orientations.
graphics::ImagePtr uprightWithin(const graphics::ImagePtr& picture, int longSide);

}  // namespace platform::media
