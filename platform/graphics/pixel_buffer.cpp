#include "platform/graphics/pixel_buffer.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace platform::graphics {

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

}  // namespace platform::graphics
