#include "platform/ui/slider.h"

#include <algorithm>

namespace platform::ui {

namespace {
constexpr float kDefaultThumbWidth = 28.0f;
}

void Slider::setMinimumValue(float value) {
    minimumValue_ = value;
    if (maximumValue_ < minimumValue_) maximumValue_ = minimumValue_;
    setValue(value_);
}

void Slider::setMaximumValue(float value) {
    maximumValue_ = value;
    if (minimumValue_ > maximumValue_) minimumValue_ = maximumValue_;
    setValue(value_);
}

void Slider::setValue(float value) {
    const float clamped = std::clamp(value, minimumValue_, maximumValue_);
    if (clamped == value_) return;
    value_ = clamped;
    setNeedsDisplay();
}

void Slider::slideTo(float value) {
    setValue(value);
    sendActionsForControlEvents(ControlEventValueChanged);
}

void Slider::setMinimumTrackImage(graphics::ImagePtr image, ControlState) {
    minimumTrackImage_ = std::move(image);
    setNeedsDisplay();
}

void Slider::setMaximumTrackImage(graphics::ImagePtr image, ControlState) {
    maximumTrackImage_ = std::move(image);
    setNeedsDisplay();
}

void Slider::setThumbImage(graphics::ImagePtr image, ControlState) {
    thumbImage_ = std::move(image);
    setNeedsDisplay();
}

float Slider::thumbWidth() const {
    return thumbImage_ ? thumbImage_->size().width : kDefaultThumbWidth;
}

float Slider::thumbCenterX() const {
    const float span = maximumValue_ - minimumValue_;
    const float fraction = span > 0.0f ? (value_ - minimumValue_) / span : 0.0f;
    const float half = thumbWidth() * 0.5f;
    return half + fraction * std::max(0.0f, frame().width() - thumbWidth());
}

float Slider::valueForX(float x) const {
    const float travel = std::max(1.0f, frame().width() - thumbWidth());
    const float fraction = std::clamp((x - thumbWidth() * 0.5f) / travel, 0.0f, 1.0f);
    return minimumValue_ + fraction * (maximumValue_ - minimumValue_);
}

void Slider::trackTouch(foundation::Point point) {
    const float before = value_;
    setValue(valueForX(point.x));
    if (value_ != before) sendActionsForControlEvents(ControlEventValueChanged);
}

}  // namespace platform::ui
