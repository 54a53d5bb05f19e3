#include "imaging/image_in_rect.h"

#include <cstring>

#include "imaging/crop_rect.h"

namespace imaging {

using platform::graphics::Image;
using platform::graphics::ImagePtr;
using platform::graphics::PixelBuffer;

ImagePtr imageInRect(const Image& image, platform::foundation::Rect rect) {
    const PixelBuffer& stored = image.pixels();
    const PixelRect r = pixelRectIn(rect, stored.width(), stored.height());
    if (r.empty()) return nullptr;
    auto cropped = std::make_shared<PixelBuffer>(r.width, r.height, stored.format(),
                                                 PixelBuffer::Contents::Unspecified);
    const PixelView from = viewOf(stored).sub(r);
    for (int y = 0; y < r.height; ++y)
        std::memcpy(cropped->row(y), from.row(y), static_cast<std::size_t>(r.width) * 4);
    return Image::withPixels(std::move(cropped));
}

}  // namespace imaging
