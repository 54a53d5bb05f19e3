#pragma once

#include "imaging/pixel_view.h"
#include "platform/foundation/geometry.h"
#include "platform/graphics/image.h"

namespace imaging {

// Draws `source` stretched over `drawRect` (in destination pixels; it may reach past the
// destination, and what falls outside is cut away) and fills every destination pixel.
// Per axis: a factor of exactly 1 copies pixels (a fractional offset is snapped to whole
// pixels), a reduction averages the covered area so that nothing aliases, an enlargement
// interpolates bilinearly. Edge pixels extend where the rectangle falls short by rounding.
// Both views hold pixels of the given format.
void drawScaled(PixelView source, MutablePixelView destination, platform::foundation::Rect drawRect,
                platform::graphics::PixelBuffer::Format format);

}  // namespace imaging
