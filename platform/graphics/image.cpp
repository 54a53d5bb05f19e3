#include "platform/graphics/image.h"

namespace platform::graphics {

bool isSideways(ImageOrientation orientation) {
    switch (orientation) {
        case ImageOrientation::Left:
        case ImageOrientation::Right:
        case ImageOrientation::LeftMirrored:
        case ImageOrientation::RightMirrored:
            return true;
        default:
            return false;
    }
}

Image::Image(std::shared_ptr<const PixelBuffer> pixels, ImageOrientation orientation, float scale)
    : pixels_(std::move(pixels)), orientation_(orientation), scale_(scale > 0.0f ? scale : 1.0f) {}

std::shared_ptr<const Image> Image::withPixels(std::shared_ptr<const PixelBuffer> pixels) {
    return std::make_shared<const Image>(std::move(pixels), ImageOrientation::Up, 1.0f);
}

foundation::Size Image::size() const {
    const float w = static_cast<float>(pixels_->width()) / scale_;
    const float h = static_cast<float>(pixels_->height()) / scale_;
    return isSideways(orientation_) ? foundation::Size{h, w} : foundation::Size{w, h};
}

}  // namespace platform::graphics
