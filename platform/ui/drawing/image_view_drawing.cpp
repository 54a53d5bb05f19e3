#include "platform/graphics/drawing_context.h"
#include "platform/graphics/reduced_copies.h"
#include "platform/ui/image_view.h"

namespace platform::ui {

// A large picture shown small (a photograph zoomed out) is drawn from a halved copy.
void ImageView::draw(graphics::DrawingContext& context) const {
    if (image_) graphics::drawImageReduced(context, *image_, imageRect());
}

}  // namespace platform::ui
