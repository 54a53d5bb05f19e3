#include <gtest/gtest.h>
#include <zlib.h>

#include "platform/graphics/png_codec.h"
#include "tests/graphics/reference_png.h"

namespace {

// Image data longer than the rows need is handed to libpng, which stops at the last row and
// would let a wrong Adler-32 at the stream's end pass: zlib refuses such a stream, and so
// must we.
TEST(PngIntegrity, AWrongAdlerAfterDataPastTheLastRowIsRefusedAsZlibRefusesIt) {
    for (const int colorType : {reference_png::kRgb, reference_png::kRgbAlpha}) {
        SCOPED_TRACE(colorType);
        const auto picture = reference_png::makePicture({colorType, 8, false, false}, 33, 21, 9);
        auto raw = reference_png::scanlines(picture, [](int row) { return row % 5; });
        raw.insert(raw.end(), 40, 0);
        auto zlib = reference_png::compress(raw);
        ASSERT_TRUE(platform::graphics::decodePng(reference_png::fileWith(picture, zlib)).ok());

        zlib.back() ^= 0x01;
        std::vector<std::uint8_t> inflated(raw.size());
        uLongf size = inflated.size();
        ASSERT_EQ(uncompress(inflated.data(), &size, zlib.data(), zlib.size()), Z_DATA_ERROR);
        EXPECT_FALSE(platform::graphics::decodePng(reference_png::fileWith(picture, zlib)).ok());
    }
}

}  // namespace
