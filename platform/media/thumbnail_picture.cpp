#include "platform/media/thumbnail_picture.h"

#include <algorithm>
#include <cmath>

#include "imaging/orient_pixels.h"
#include "imaging/resample.h"

namespace platform::media {

using graphics::Image;
using graphics::ImageOrientation;
using graphics::PixelBuffer;

namespace {

int reducedLength(int length, int longest, int longSide) {
    return std::max(1, static_cast<int>(std::lround(double(length) * longSide / longest)));
}

}  // namespace

graphics::ImagePtr uprightWithin(const graphics::ImagePtr& picture, int longSide) {
    const PixelBuffer& stored = picture->pixels();
    const int longest = std::max(stored.width(), stored.height());
    const bool reduces = longest > longSide;
    const ImageOrientation orientation = picture->imageOrientation();
    if (!reduces && orientation == ImageOrientation::Up && picture->scale() == 1.0f) return picture;

    imaging::PixelView source = imaging::viewOf(stored);
    PixelBuffer reduced(0, 0, stored.format());
    if (reduces) {
        // Reducing before turning touches fewer pixels; the result is the same.
        const int width = reducedLength(stored.width(), longest, longSide);
        const int height = reducedLength(stored.height(), longest, longSide);
        reduced = PixelBuffer(width, height, stored.format(), PixelBuffer::Contents::Unspecified);
        imaging::drawScaled(source, imaging::viewOf(reduced),
                            {0.0f, 0.0f, float(width), float(height)}, stored.format());
        source = imaging::viewOf(reduced);
    }
    const bool sideways = graphics::isSideways(orientation);
    const int width = sideways ? source.height : source.width;
    const int height = sideways ? source.width : source.height;
    auto upright = std::make_shared<PixelBuffer>(width, height, stored.format(),
                                                 PixelBuffer::Contents::Unspecified);
    imaging::orientPixels(source, orientation, {0, 0, width, height}, imaging::viewOf(*upright));
    return Image::withPixels(std::move(upright));
}

}  // namespace platform::media
