#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "platform/graphics/jpeg_codec.h"

namespace {

using namespace platform::graphics;

enum class Inks { Cmyk, CmykWithoutAdobeSegment, Ycck };

// libjpeg's own compressor, which TurboJPEG does not offer for CMYK files.
class LibjpegWriter {
  public:
    // Four samples a pixel, stored as they are given.
    std::vector<std::uint8_t> write(const std::vector<std::uint8_t>& samples, int width, int height,
                                    Inks inks) const {
        jpeg_compress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_CreateCompress(&info, JPEG_LIB_VERSION, sizeof info);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&info, &out, &size);
        info.image_width = static_cast<JDIMENSION>(width);
        info.image_height = static_cast<JDIMENSION>(height);
        info.input_components = 4;
        info.in_color_space = JCS_CMYK;
        jpeg_set_defaults(&info);
        jpeg_set_colorspace(&info, inks == Inks::Ycck ? JCS_YCCK : JCS_CMYK);
        info.write_Adobe_marker = inks != Inks::CmykWithoutAdobeSegment;
        jpeg_set_quality(&info, 100, TRUE);
        jpeg_start_compress(&info, TRUE);
        for (int y = 0; y < height; ++y) {
            auto* row = const_cast<JSAMPLE*>(samples.data() + std::size_t(y) * width * 4);
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        std::vector<std::uint8_t> file(out, out + size);
        std::free(out);
        return file;
    }
};

TEST(JpegInks, CmykAndYcckFilesShowTheColoursTheirInksPrint) {
    const LibjpegWriter libjpeg;
    // Four flat 16 × 16 patches of stored samples (C, M, Y, K as the file keeps them).
    const std::uint8_t patches[4][4] = {
        {200, 100, 50, 230}, {255, 255, 255, 255}, {30, 220, 120, 180}, {255, 0, 255, 128}};
    std::vector<std::uint8_t> samples(32 * 32 * 4);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            for (int c = 0; c < 4; ++c)
                samples[(std::size_t(y) * 32 + x) * 4 + c] = patches[(y / 16) * 2 + x / 16][c];

    for (const Inks inks : {Inks::Cmyk, Inks::CmykWithoutAdobeSegment, Inks::Ycck}) {
        SCOPED_TRACE(static_cast<int>(inks));
        const auto decoded = decodeJpeg(libjpeg.write(samples, 32, 32, inks));
        ASSERT_TRUE(decoded.ok()) << decoded.error();
        // Adobe's files keep the inks inverted (255: none); others keep them as they are.
        const bool inverted = inks != Inks::CmykWithoutAdobeSegment;
        for (int patch = 0; patch < 4; ++patch) {
            const std::uint8_t* s = patches[patch];
            const auto clear = [&](int c) { return inverted ? s[c] : 255 - s[c]; };
            const std::uint32_t pixel =
                decoded.value()->pixels().pixel(8 + 16 * (patch % 2), 8 + 16 * (patch / 2));
            for (int c = 0; c < 3; ++c) {
                const int expected = clear(c) * clear(3) / 255;
                const int shown = static_cast<int>(pixel >> (16 - 8 * c) & 0xFF);
                EXPECT_NEAR(shown, expected, 3) << "patch " << patch << ", channel " << c;
            }
        }
    }
}

}  // namespace
