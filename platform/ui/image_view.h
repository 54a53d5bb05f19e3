#pragma once

#include "platform/graphics/image.h"
#include "platform/ui/view.h"

namespace platform::ui {

enum class ContentMode { ScaleToFill = 0, ScaleAspectFit = 1, ScaleAspectFill = 2 };

// Shows a picture. Made from a picture, its frame is the picture's size at the origin;
// made without one, its frame is empty. Takes no touches unless told to.
class ImageView : public View {
  public:
    explicit ImageView(graphics::ImagePtr image = nullptr);
    explicit ImageView(foundation::Rect frame);

    const graphics::ImagePtr& image() const { return image_; }
    void setImage(graphics::ImagePtr image);
    ContentMode contentMode() const { return contentMode_; }
    void setContentMode(ContentMode mode);
    // Where the picture is drawn inside the bounds, for the content mode.
    foundation::Rect imageRect() const;

    void draw(graphics::DrawingContext& context) const override;

  private:
    graphics::ImagePtr image_;
    ContentMode contentMode_ = ContentMode::ScaleToFill;
};

}  // namespace platform::ui
