#include "platform/graphics/picture_limits.h"

namespace platform::graphics {

std::optional<std::string> pictureSizeError(std::int64_t width, std::int64_t height) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0) return "picture of " + size + " pixels is empty";
    if (width > kMaxPictureSide || height > kMaxPictureSide)
        return "picture of " + size + " pixels exceeds " + std::to_string(kMaxPictureSide) +
               " pixels on a side";
    if (width * height > kMaxPicturePixels)
        return "picture of " + size + " pixels exceeds " +
               std::to_string(kMaxPicturePixels / 1'000'000) + " megapixels";
    return std::nullopt;
}

}  // namespace platform::graphics
