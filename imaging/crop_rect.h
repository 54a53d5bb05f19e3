#pragma once

#include "imaging/pixel_view.h"
#include "imaging/resolution_preset.h"
#include "platform/foundation/geometry.h"

namespace imaging {

// The region of the upright shot to keep, in single precision: for ZoomCrop the centred
// 1/zoom of each side (the live picture's zoomed region), otherwise the whole picture.
// `taken` is the display size of the picture as the camera delivered it.
platform::foundation::Rect cropRect(platform::foundation::Size taken, float zoom,
                                    ResolutionPreset preset);

// The whole pixels a rectangle touches (origin rounded down, far edge up), clipped to a
// width × height image; empty when they do not meet.
PixelRect pixelRectIn(platform::foundation::Rect rect, int width, int height);

}  // namespace imaging
