#pragma once

#include <memory>

#include "platform/graphics/image.h"

namespace platform::graphics {

// The picture at half its size each way (rounded up), each pixel the average of the 2 × 2
// pixels it covers; on an odd edge the last pixel covers what there is. Premultiplied
// pixels average correctly as they are. Spread over every core.
std::shared_ptr<PixelBuffer> halvePixels(const PixelBuffer& pixels);

}  // namespace platform::graphics
