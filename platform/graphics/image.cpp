#include "platform/graphics/image.h"

#include <cstring>
#include <limits>
#include <stdexcept>

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

PixelBuffer::PixelBuffer(int width, int height, Format format)
    : PixelBuffer(width, height, format, Contents::Zeroed) {}

PixelBuffer::PixelBuffer(int width, int height, Format format, Contents contents)
    : width_(width), height_(height), stride_(0), format_(format) {
    if (width < 0 || height < 0) throw std::invalid_argument("negative picture size");
    if (width > std::numeric_limits<int>::max() / 4) throw std::length_error("picture too wide");
    stride_ = width * 4;
    const std::size_t size = static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height);
    memory_ = PixelMemory::allocate(size);
    if (contents == Contents::Zeroed && size > 0) std::memset(memory_.data(), 0, size);
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
