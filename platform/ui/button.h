#pragma once

#include <optional>
#include <string>

#include "platform/graphics/image.h"
#include "platform/ui/control.h"

namespace platform::ui {

enum class ControlState { Normal = 0 };

// A button with a picture, a background picture and a title for the normal state.
class Button : public Control {
  public:
    enum class Type { Custom = 0 };
    static std::shared_ptr<Button> buttonWithType(Type type = Type::Custom);
    using Control::Control;

    graphics::ImagePtr image(ControlState = ControlState::Normal) const { return image_; }
    void setImage(graphics::ImagePtr image, ControlState = ControlState::Normal);
    graphics::ImagePtr backgroundImage(ControlState = ControlState::Normal) const {
        return backgroundImage_;
    }
    void setBackgroundImage(graphics::ImagePtr image, ControlState = ControlState::Normal);
    std::optional<std::string> title(ControlState = ControlState::Normal) const { return title_; }
    void setTitle(std::optional<std::string> title, ControlState = ControlState::Normal);

    void draw(graphics::DrawingContext& context) const override;

  private:
    graphics::ImagePtr image_;
    graphics::ImagePtr backgroundImage_;
    std::optional<std::string> title_;
};

}  // namespace platform::ui
