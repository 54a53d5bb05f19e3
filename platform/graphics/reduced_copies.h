#pragma once

#include <memory>

#include "platform/foundation/geometry.h"
#include "platform/graphics/image.h"

namespace platform::graphics {

class DrawingContext;

// A large picture drawn small is drawn from a copy of it halved once or more, made on demand
// and kept while the picture's pixels live (about a third more memory at most): scaling
// down a 12-megapixel picture on every frame would take far longer than a frame.

// A copy of the stored pixels halved `halvings` times. Its pixels cover the picture's
// width / 2^halvings (and height likewise) and, where that is not whole, a little beyond on
// the right and at the bottom.
struct ReducedCopy {
    std::shared_ptr<const PixelBuffer> pixels;
    int halvings = 0;
};

// Makes every halved copy of the picture that drawing may want, so that drawing need not;
// callable from any thread, at any time, as often as wished: each copy is made once.
void prepareReducedCopies(const Image& image);

// The copy to draw the whole picture from at `width` × `height` device pixels (stored axes,
// not upright): the most halved one that cairo still brings to that size in one bilinear
// step, which it does down to 3/4, so between 2/3 and 4/3 of a copy's pixel per device pixel.
// Halvings 0 and no pixels when the picture itself is that one, or when there is no memory
// for the copy. Makes the copies it needs. Thread-safe.
ReducedCopy reducedCopy(const Image& image, float width, float height);

// Draws the picture as DrawingContext::drawImage does, but from the copy reducedCopy gives
// for the size it is drawn at on the device; cairo filters the last step.
void drawImageReduced(DrawingContext& context, const Image& image, foundation::Rect rect);

}  // namespace platform::graphics
