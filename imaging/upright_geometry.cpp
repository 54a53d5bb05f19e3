#include "imaging/upright_geometry.h"

#include <algorithm>
#include <cmath>

namespace imaging {

using platform::graphics::Image;
using platform::graphics::ImageOrientation;

OrientationMap orientationMap(ImageOrientation orientation, int w, int h) {
    switch (orientation) {
        case ImageOrientation::Up:
            return {1, 0, 0, 0, 1, 0};
        case ImageOrientation::Down:
            return {-1, 0, w - 1, 0, -1, h - 1};
        case ImageOrientation::Left:  // stored (x, y) shows at (y, w − 1 − x)
            return {0, -1, w - 1, 1, 0, 0};
        case ImageOrientation::Right:  // stored (x, y) shows at (h − 1 − y, x)
            return {0, 1, 0, -1, 0, h - 1};
        case ImageOrientation::UpMirrored:
            return {-1, 0, w - 1, 0, 1, 0};
        case ImageOrientation::DownMirrored:
            return {1, 0, 0, 0, -1, h - 1};
        case ImageOrientation::LeftMirrored:  // mirrored across the main diagonal
            return {0, 1, 0, 1, 0, 0};
        case ImageOrientation::RightMirrored:  // mirrored across the other diagonal
            return {0, -1, w - 1, -1, 0, h - 1};
    }
    throw InvalidImageOrientation();
}

namespace {

int wholePixels(float length) {
    return std::max(1, static_cast<int>(std::lround(length)));
}

}  // namespace

UprightGeometry uprightGeometry(const Image& image) {
    const ImageOrientation orientation = image.imageOrientation();
    const auto tag = static_cast<int>(orientation);
    if (tag < 0 || tag > 7) throw InvalidImageOrientation();

    const platform::foundation::Size display = image.size();
    const auto limit = static_cast<float>(
        static_cast<int>(display.width > display.height ? display.width : display.height));
    const auto w = static_cast<float>(image.pixels().width());
    const auto h = static_cast<float>(image.pixels().height());
    UprightGeometry g{limit, w, h, 1.0f, false, image.pixels().width(), image.pixels().height(),
                      0,     0};
    if (w > limit || h > limit) {
        const float ratio = w / h;
        if (ratio > 1.0f) {
            g.boundsWidth = limit;
            g.boundsHeight = limit / ratio;
        } else {
            g.boundsHeight = limit;
            g.boundsWidth = limit * ratio;
        }
        g.ratio = g.boundsWidth / w;
        g.reduces = true;
        g.scaledWidth = wholePixels(g.boundsWidth);
        g.scaledHeight = wholePixels(g.boundsHeight);
    }
    const bool sideways = platform::graphics::isSideways(orientation);
    g.outputWidth = sideways ? g.scaledHeight : g.scaledWidth;
    g.outputHeight = sideways ? g.scaledWidth : g.scaledHeight;
    return g;
}

}  // namespace imaging
