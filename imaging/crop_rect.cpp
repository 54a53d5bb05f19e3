#include "imaging/crop_rect.h"

#include <algorithm>
#include <cmath>

namespace imaging {

using platform::foundation::Rect;

Rect cropRect(platform::foundation::Size taken, float zoom, ResolutionPreset preset) {
    if (preset != ZoomCrop) return {0.0f, 0.0f, taken.width, taken.height};
    // In this order and precision, so that the whole pixels it widens to are the expected ones.
    const float inv = 1.0f / zoom;
    const float cw = taken.width * inv;
    const float ch = inv * taken.height;
    const float y = (taken.height - ch) * 0.5f;
    const float x = (taken.width - cw) * 0.5f;
    return {x, y, cw, ch};
}

PixelRect pixelRectIn(Rect rect, int width, int height) {
    // The far edges are summed exactly, as the platform's double-precision geometry does.
    const double left = std::floor(double(rect.x()));
    const double top = std::floor(double(rect.y()));
    const double right = std::ceil(double(rect.x()) + double(rect.width()));
    const double bottom = std::ceil(double(rect.y()) + double(rect.height()));
    if (!(left < right) || !(top < bottom)) return {};  // also catches NaN
    const double x0 = std::max(left, 0.0), y0 = std::max(top, 0.0);
    const double x1 = std::min(right, double(width)), y1 = std::min(bottom, double(height));
    if (x0 >= x1 || y0 >= y1) return {};
    return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
            static_cast<int>(y1 - y0)};
}

}  // namespace imaging
