#include "platform/ui/image_view.h"

#include <algorithm>

namespace platform::ui {

namespace {
foundation::Rect frameForImage(const graphics::ImagePtr& image) {
    if (!image) return {};
    const auto size = image->size();
    return {0, 0, size.width, size.height};
}
}  // namespace

ImageView::ImageView(graphics::ImagePtr image)
    : View(frameForImage(image)), image_(std::move(image)) {
    setUserInteractionEnabled(false);
}

ImageView::ImageView(foundation::Rect frame) : View(frame) {
    setUserInteractionEnabled(false);
}

void ImageView::setImage(graphics::ImagePtr image) {
    if (image == image_) return;
    image_ = std::move(image);
    setNeedsDisplay();
}

void ImageView::setContentMode(ContentMode mode) {
    if (mode == contentMode_) return;
    contentMode_ = mode;
    setNeedsDisplay();
}

foundation::Rect ImageView::imageRect() const {
    const auto b = bounds();
    if (!image_ || contentMode_ == ContentMode::ScaleToFill) return b;
    const auto size = image_->size();
    if (size.width <= 0 || size.height <= 0) return b;
    const float sx = b.width() / size.width;
    const float sy = b.height() / size.height;
    const float s =
        contentMode_ == ContentMode::ScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
    const float w = size.width * s;
    const float h = size.height * s;
    return {(b.width() - w) * 0.5f, (b.height() - h) * 0.5f, w, h};
}

}  // namespace platform::ui
