#include <gtest/gtest.h>

#include "platform/graphics/png_codec.h"
#include "tests/graphics/reference_png.h"

namespace {

using platform::graphics::decodePng;

// The limits are the largest sizes taken: a picture exactly at one is read, one pixel more is
// refused from its header.
TEST(PictureLimits, APictureAtTheSideLimitIsReadAndOnePixelMoreIsRefused) {
    for (const auto& [width, height] : {std::pair{30000, 1}, std::pair{1, 30000}}) {
        const reference_png::Kind rgb{reference_png::kRgb, 8, false, false};
        const auto picture = reference_png::makePicture(rgb, width, height, 4);
        const auto decoded = decodePng(reference_png::file(picture));
        ASSERT_TRUE(decoded.ok()) << decoded.error();
        EXPECT_EQ(decoded.value()->pixels().pixel(width - 1, height - 1),
                  reference_png::expectedPixel(picture, width - 1, height - 1));
        const auto past =
            reference_png::makePicture(rgb, width + (width > 1), height + (height > 1), 4);
        EXPECT_NE(decodePng(reference_png::file(past)).error().find("exceeds"), std::string::npos);
    }
}

TEST(PictureLimits, HundredMegapixelsAreTheMostAndAreNotRefusedForTheirSize) {
    // Headers only: the image data ends at once, so the pixels are never filled.
    auto headerOf = [](int width, int height) {
        reference_png::Picture picture;
        picture.width = width;
        picture.height = height;
        return reference_png::fileWith(picture, reference_png::compress({0, 0, 0, 0}));
    };
    const auto atLimit = decodePng(headerOf(10000, 10000));
    EXPECT_FALSE(atLimit.ok());  // too little image data, or more than the memory budget
    EXPECT_EQ(atLimit.error().find("exceeds"), std::string::npos) << atLimit.error();
    EXPECT_NE(decodePng(headerOf(10000, 10001)).error().find("exceeds 100 megapixels"),
              std::string::npos);
}

}  // namespace
