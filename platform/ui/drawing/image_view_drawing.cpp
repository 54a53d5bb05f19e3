#include "platform/graphics/drawing_context.h"
#include "platform/ui/image_view.h"

namespace platform::ui {

void ImageView::draw(graphics::DrawingContext& context) const {
    if (image_) context.drawImage(*image_, imageRect());
}

}  // namespace platform::ui
