#pragma once

#include <string>

#include "platform/ui/view.h"

namespace platform::ui {

enum class TextAlignment { Left, Center, Right };

// Text in DejaVu Sans: one line, or several separated by '\n'.
class Label : public View {
  public:
    explicit Label(foundation::Rect frame = {});

    const std::string& text() const { return text_; }
    void setText(std::string text);
    float fontSize() const { return fontSize_; }
    void setFontSize(float size);
    bool isBold() const { return bold_; }
    void setBold(bool bold);
    Color textColor() const { return textColor_; }
    void setTextColor(Color color);
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment);

    void draw(graphics::DrawingContext& context) const override;

  private:
    std::string text_;
    float fontSize_ = 17.0f;
    bool bold_ = false;
    Color textColor_ = Color::black();
    TextAlignment alignment_ = TextAlignment::Left;
};

}  // namespace platform::ui
