#include "platform/graphics/png_codec.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>

#include "platform/graphics/decode_image.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace platform::graphics;

std::vector<std::uint8_t> encodeOrFail(const PixelBuffer& pixels) {
    EncodeResult encoded = encodePng(pixels);
    EXPECT_TRUE(encoded.ok()) << encoded.error();
    return encoded.ok() ? encoded.value() : std::vector<std::uint8_t>{};
}

// Any PNG libpng can write, in the given layout, for decoding tests.
std::vector<std::uint8_t> writeWithLibpng(std::uint32_t format, int width, int height,
                                          const void* samples) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_get_memory_size(image, size, 0, samples, 0, nullptr));
    std::vector<std::uint8_t> bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, samples, 0, nullptr));
    bytes.resize(size);
    return bytes;
}

// Rewrites the IHDR size fields and their checksum, keeping the rest of the file.
void setHeaderSize(std::vector<std::uint8_t>& png, std::uint32_t width, std::uint32_t height) {
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) png[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    put(16, width);
    put(20, height);
    put(29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)));
}

TEST(PngCodec, OpaquePictureRoundTripsExactly) {
    auto original = test_pictures::gradient(67, 41);
    auto decoded = decodePng(encodeOrFail(*original));
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    const PixelBuffer& pixels = decoded.value()->pixels();
    ASSERT_EQ(pixels.width(), 67);
    ASSERT_EQ(pixels.height(), 41);
    EXPECT_EQ(pixels.format(), PixelBuffer::Format::Rgb24);
    EXPECT_EQ(decoded.value()->imageOrientation(), ImageOrientation::Up);
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 67; ++x) ASSERT_EQ(pixels.pixel(x, y), original->pixel(x, y));
}

TEST(PngCodec, PremultipliedAlphaRoundTripsExactly) {
    PixelBuffer original(16, 16, PixelBuffer::Format::Argb32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint32_t alpha = static_cast<std::uint32_t>(y * 17);
            const std::uint32_t red = alpha * static_cast<std::uint32_t>(x) / 15;
            const std::uint32_t blue = alpha / 2;
            original.setPixel(x, y, alpha << 24 | red << 16 | blue);
        }
    auto decoded = decodePng(encodeOrFail(original));
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    EXPECT_EQ(decoded.value()->pixels().format(), PixelBuffer::Format::Argb32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(decoded.value()->pixels().pixel(x, y), original.pixel(x, y)) << x << "," << y;
}

TEST(PngCodec, PicturesCompressedInSlicesDecodeAsOne) {
    // Tall enough to be compressed in several slices on several cores.
    auto opaque = test_pictures::gradient(301, 1100);
    auto translucent = std::make_shared<PixelBuffer>(97, 1300, PixelBuffer::Format::Argb32);
    for (int y = 0; y < 1300; ++y)
        for (int x = 0; x < 97; ++x) {
            const auto alpha = static_cast<std::uint32_t>((x + y) % 256);
            translucent->setPixel(x, y, alpha << 24 | (alpha * (y % 7) / 7) << 8 | alpha / 3);
        }
    for (const auto& original : {opaque, translucent}) {
        const auto encoded = encodeOrFail(*original);
        auto decoded = decodePng(encoded);
        ASSERT_TRUE(decoded.ok()) << decoded.error();
        const PixelBuffer& pixels = decoded.value()->pixels();
        ASSERT_EQ(pixels.height(), original->height());
        for (int y = 0; y < original->height(); ++y)
            for (int x = 0; x < original->width(); ++x)
                ASSERT_EQ(pixels.pixel(x, y), original->pixel(x, y)) << x << "," << y;
    }
    // Smooth pictures compress well below their raw size.
    EXPECT_LT(encodeOrFail(*opaque).size(), 301u * 1100u * 3u / 2u);
}

TEST(PngCodec, DecodesGreyAndSixteenBitFiles) {
    const std::uint8_t grey[] = {0, 100, 200, 255};
    auto greyPicture = decodePng(writeWithLibpng(PNG_FORMAT_GRAY, 2, 2, grey));
    ASSERT_TRUE(greyPicture.ok()) << greyPicture.error();
    EXPECT_EQ(greyPicture.value()->pixels().pixel(1, 0) & 0xFFFFFFu, 0x646464u);

    const std::uint16_t deep[] = {65535, 0, 0, 65535, 0, 65535, 0, 65535};  // linear RGBA
    auto deepPicture = decodePng(writeWithLibpng(PNG_FORMAT_LINEAR_RGB_ALPHA, 2, 1, deep));
    ASSERT_TRUE(deepPicture.ok()) << deepPicture.error();
    EXPECT_EQ(deepPicture.value()->pixels().pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(deepPicture.value()->pixels().pixel(1, 0), 0xFF00FF00u);
}

TEST(PngCodec, RefusesBadFilesWithAReason) {
    const auto good = encodeOrFail(*test_pictures::gradient(64, 64));

    auto truncated = good;
    truncated.resize(good.size() / 2);
    EXPECT_NE(decodePng(truncated).error().find("corrupt or truncated"), std::string::npos);

    auto damaged = good;
    damaged[good.size() / 2] ^= 0x55;  // inside the image data: its checksum no longer holds
    EXPECT_FALSE(decodePng(damaged).ok());

    const std::uint8_t text[] = "GIF89a, not a PNG at all";
    EXPECT_EQ(decodePng(text).error(), "not a PNG file");
    EXPECT_FALSE(decodePng({}).ok());

    auto tooWide = good;
    setHeaderSize(tooWide, 40000, 10);
    EXPECT_NE(decodePng(tooWide).error().find("30000 pixels on a side"), std::string::npos);

    auto tooMany = good;
    setHeaderSize(tooMany, 12000, 12000);
    EXPECT_NE(decodePng(tooMany).error().find("100 megapixels"), std::string::npos);
}

TEST(DecodeImage, TellsFormatsApartAndReportsUnreadableFiles) {
    const auto png = encodeOrFail(*test_pictures::gradient(5, 3));
    auto decoded = decodeImage(png);
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    EXPECT_EQ(decoded.value()->pixels().width(), 5);

    const std::uint8_t bmp[] = {'B', 'M', 0, 0, 0, 0};
    EXPECT_NE(decodeImage(bmp).error().find("neither JPEG nor PNG"), std::string::npos);

    auto missing = decodeImageFile("/nonexistent/picture.png");
    EXPECT_NE(missing.error().find("/nonexistent/picture.png"), std::string::npos);
}

}  // namespace
