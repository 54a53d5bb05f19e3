#include "platform/ui/button.h"

namespace platform::ui {

std::shared_ptr<Button> Button::buttonWithType(Type) {
    return std::make_shared<Button>();
}

void Button::setImage(graphics::ImagePtr image, ControlState) {
    if (image == image_) return;
    image_ = std::move(image);
    setNeedsDisplay();
}

void Button::setBackgroundImage(graphics::ImagePtr image, ControlState) {
    if (image == backgroundImage_) return;
    backgroundImage_ = std::move(image);
    setNeedsDisplay();
}

void Button::setTitle(std::optional<std::string> title, ControlState) {
    if (title == title_) return;
    title_ = std::move(title);
    setNeedsDisplay();
}

}  // namespace platform::ui
