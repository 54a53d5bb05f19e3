#pragma once

#include "platform/graphics/image.h"
#include "platform/ui/button.h"
#include "platform/ui/control.h"

namespace platform::ui {

// A horizontal slider. Setting the value from code raises no event; a finger dragging the
// thumb sends value-changed events continuously.
class Slider : public Control {
  public:
    using Control::Control;

    float minimumValue() const { return minimumValue_; }
    void setMinimumValue(float value);
    float maximumValue() const { return maximumValue_; }
    void setMaximumValue(float value);
    float value() const { return value_; }
    void setValue(float value);
    // What a user's drag to `value` does: the value, clamped, then a value-changed event.
    void slideTo(float value);

    graphics::ImagePtr minimumTrackImage() const { return minimumTrackImage_; }
    void setMinimumTrackImage(graphics::ImagePtr image, ControlState = ControlState::Normal);
    graphics::ImagePtr maximumTrackImage() const { return maximumTrackImage_; }
    void setMaximumTrackImage(graphics::ImagePtr image, ControlState = ControlState::Normal);
    graphics::ImagePtr thumbImage() const { return thumbImage_; }
    void setThumbImage(graphics::ImagePtr image, ControlState = ControlState::Normal);

    // The thumb's width in points and the x of its centre for the current value.
    float thumbWidth() const;
    float thumbCenterX() const;
    float valueForX(float x) const;

    void draw(graphics::DrawingContext& context) const override;

  protected:
    void trackTouch(foundation::Point point) override;

  private:
    float minimumValue_ = 0.0f;
    float maximumValue_ = 1.0f;
    float value_ = 0.0f;
    graphics::ImagePtr minimumTrackImage_;
    graphics::ImagePtr maximumTrackImage_;
    graphics::ImagePtr thumbImage_;
};

}  // namespace platform::ui
