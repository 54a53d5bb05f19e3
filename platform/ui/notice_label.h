#pragma once

#include <string>

#include "platform/ui/view.h"

namespace platform::ui {

// A short message over a live picture: white text on a dark translucent plate at the view's
// top left, wrapped onto at most two lines and shortened with "…" beyond them. Touches pass
// through it to what lies beneath.
class NoticeLabel : public View {
  public:
    explicit NoticeLabel(foundation::Rect frame = {});

    const std::string& text() const { return text_; }
    void setText(std::string text);

    void draw(graphics::DrawingContext& context) const override;

  private:
    std::string text_;
};

}  // namespace platform::ui
