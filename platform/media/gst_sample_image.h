#pragma once

#include <gst/gst.h>

#include "platform/graphics/image.h"

namespace platform::media::gst {

// Copies a BGRx or BGRA frame into a picture of scale 1 with the given tag; nullptr for
// any other layout. Both layouts are cairo's RGB24 on little-endian machines, the frames
// being opaque.
graphics::ImagePtr imageFromSample(GstSample* sample, graphics::ImageOrientation orientation);

}  // namespace platform::media::gst
