#include "imaging/resolution_preset.h"

namespace imaging {

using platform::foundation::Size;

Size targetSize(ResolutionPreset preset, Size taken) {
    const bool landscape = taken.width > taken.height;
    auto oriented = [landscape](float longSide, float shortSide) {
        return landscape ? Size{longSide, shortSide} : Size{shortSide, longSide};
    };
    switch (preset) {
        case ZoomCrop:
            return {0.5f * taken.width, 0.5f * taken.height};
        case Preset3Mpx:
            return oriented(2048.0f, 1536.0f);
        case Preset5Mpx:
            return oriented(2584.0f, 1936.0f);
        case Preset7Mpx:
            return oriented(3160.0f, 2368.0f);
    }
    return taken;
}

}  // namespace imaging
