#pragma once

#include <cstdint>

#include "platform/foundation/geometry.h"

namespace imaging {

// The capture screen's field `state`: how every shot is cut and sized.
enum ResolutionPreset : std::int32_t {
    ZoomCrop = 0,    // the centred region of the zoom, at half the picture's size
    Preset3Mpx = 1,  // the whole picture at 2048 × 1536
    Preset5Mpx = 2,  // 2584 × 1936
    Preset7Mpx = 3,  // 3160 × 2368
};

// The output size for a shot whose display size is `taken`: landscape sizes when it is
// strictly wider than high, portrait ones otherwise. An unknown preset keeps the size.
platform::foundation::Size targetSize(ResolutionPreset preset, platform::foundation::Size taken);

}  // namespace imaging
