#pragma once

#include <stdexcept>

#include "platform/graphics/image.h"

namespace imaging {

// The internal-inconsistency failure raised for a tag outside the eight orientations.
class InvalidImageOrientation : public std::logic_error {
  public:
    InvalidImageOrientation() : std::logic_error("Invalid image orientation") {}
};

// Where each upright pixel comes from in the stored image:
// stored x = xx·X + xy·Y + x0, stored y = yx·X + yy·Y + y0 for upright pixel (X, Y).
struct OrientationMap {
    int xx, xy, x0;
    int yx, yy, y0;
};

// Throws InvalidImageOrientation for a tag outside 0..7.
OrientationMap orientationMap(platform::graphics::ImageOrientation orientation, int storedWidth,
                              int storedHeight);

// The sizes that making a picture upright works with, in single precision as the drawing
// computes them: the resolution limit from the display size, the bounds in stored
// orientation and the scale ratio, plus the whole-pixel sizes they round to.
struct UprightGeometry {
    float limit;
    float boundsWidth;
    float boundsHeight;
    float ratio;
    bool reduces;     // false: every stored pixel is kept, only moved
    int scaledWidth;  // the stored image scaled by the ratio, before turning
    int scaledHeight;
    int outputWidth;  // the upright picture
    int outputHeight;
};

// Throws InvalidImageOrientation for a tag outside 0..7.
UprightGeometry uprightGeometry(const platform::graphics::Image& image);

}  // namespace imaging
