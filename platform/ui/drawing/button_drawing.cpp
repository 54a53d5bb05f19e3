#include "platform/graphics/drawing_context.h"
#include "platform/ui/button.h"
#include "platform/ui/drawing/look.h"

namespace platform::ui {

// The background picture fills the button; the picture sits centred at its own size and
// the title over it. While pressed, the button's shape is shaded.
void Button::draw(graphics::DrawingContext& context) const {
    const foundation::Rect b = bounds();
    const foundation::Rect imageRect =
        image_ ? look::centredFit(image_->size(), b) : foundation::Rect{};
    if (backgroundImage_) context.drawImage(*backgroundImage_, b);
    if (image_) context.drawImage(*image_, imageRect);
    if (title_)
        context.drawText(*title_, b, look::kButtonTitle, look::kText, graphics::TextAlign::Center);
    if (!isHighlighted()) return;
    if (backgroundImage_) {
        context.drawTemplate(*backgroundImage_, b, look::kPressedShade);
    } else if (image_) {
        context.drawTemplate(*image_, imageRect, look::kPressedShade);
    } else {
        context.fillRoundedRect(b, 6.0f, look::kPressedShade);
    }
}

}  // namespace platform::ui
