#pragma once

#include <cstdint>

#include "imaging/resolution_preset.h"
#include "platform/graphics/image.h"

namespace imaging {

// One shot from camera to album picture: upright, cut to the zoomed region (ZoomCrop) or kept
// whole, then sized by aspect fill for the preset. The same pixels as scaleAndRotateImage,
// imageInRect and imageByScalingAndCroppingForSize in turn, in fewer passes: only the kept
// region is turned upright, and a shot already of the target size is not redrawn. Null, with
// "could not scale image" logged, when no picture can be made; throws
// InvalidImageOrientation for a tag outside 0..7.
platform::graphics::ImagePtr processCapture(const platform::graphics::Image& taken, float zoom,
                                            ResolutionPreset preset);

// What a shot holds at its peak from the camera to the album, the taken picture included: the
// copies processCapture makes (upright, cropped, sized for the preset) and the album's JPEG of
// the result. Throws InvalidImageOrientation for a tag outside 0..7.
std::uint64_t memoryForCapture(const platform::graphics::Image& taken, float zoom,
                               ResolutionPreset preset);

}  // namespace imaging
