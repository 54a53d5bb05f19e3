#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "platform/graphics/jpeg_codec.h"

namespace {

using namespace platform::graphics;

// Four flat 16 × 16 patches: red, green, blue and yellow, as RGB.
constexpr std::uint8_t kPatches[4][3] = {
    {230, 20, 20}, {20, 200, 30}, {25, 30, 220}, {240, 230, 10}};

std::uint8_t patchSample(int x, int y, int c) {
    return kPatches[(y / 16) * 2 + x / 16][c];
}

// libjpeg's own compressor and decompressor, RGB samples in and out.
std::vector<std::uint8_t> libjpegWrite() {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = 32;
    info.image_height = 32;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(32 * 3);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            for (int c = 0; c < 3; ++c) row[std::size_t(x) * 3 + c] = patchSample(x, y, c);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> file(out, out + size);
    std::free(out);
    return file;
}

std::vector<std::uint8_t> libjpegRead(const std::vector<std::uint8_t>& file, int& width) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), file.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    width = static_cast<int>(info.output_width);
    std::vector<std::uint8_t> samples(std::size_t(info.output_width) * info.output_height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[] = {samples.data() + std::size_t(info.output_scanline) * width * 3};
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return samples;
}

// Each direction alone: a fault made the same way in our encoder and decoder cancels out in
// a round trip of our own.
TEST(JpegChannels, AnotherCodecSeesOurColoursAndWeSeeItsColours) {
    PixelBuffer pixels(32, 32, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            pixels.setPixel(x, y,
                            0xFF000000u | std::uint32_t(patchSample(x, y, 0)) << 16 |
                                std::uint32_t(patchSample(x, y, 1)) << 8 | patchSample(x, y, 2));
    const auto ours = encodeJpeg(pixels, 95);
    ASSERT_TRUE(ours.ok()) << ours.error();
    int width = 0;
    const auto read = libjpegRead(ours.value(), width);
    ASSERT_EQ(width, 32);

    const auto decoded = decodeJpeg(libjpegWrite());
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    for (int patch = 0; patch < 4; ++patch) {
        const int x = 8 + 16 * (patch % 2), y = 8 + 16 * (patch / 2);
        const std::uint32_t shown = decoded.value()->pixels().pixel(x, y);
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(read[(std::size_t(y) * 32 + x) * 3 + c], kPatches[patch][c], 12)
                << "libjpeg reading our file, patch " << patch << ", channel " << c;
            EXPECT_NEAR(int(shown >> (16 - 8 * c) & 0xFF), kPatches[patch][c], 12)
                << "we reading libjpeg's file, patch " << patch << ", channel " << c;
        }
    }
}

}  // namespace
