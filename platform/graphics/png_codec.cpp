#include "platform/graphics/png_codec.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/picture_limits.h"

namespace platform::graphics {

namespace {

bool hasPngSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0;
}

// Cairo's Argb32 is premultiplied; PNG stores straight alpha.
void premultiply(PixelBuffer& pixels) {
    for (int y = 0; y < pixels.height(); ++y) {
        auto* bytes = reinterpret_cast<std::uint8_t*>(pixels.row(y));
        for (int x = 0; x < pixels.width(); ++x, bytes += 4) {
            const unsigned alpha = bytes[3];
            if (alpha == 255) continue;
            for (int c = 0; c < 3; ++c)
                bytes[c] = static_cast<std::uint8_t>((bytes[c] * alpha + 127) / 255);
        }
    }
}

void unpremultiplyRow(const std::uint32_t* in, int width, std::uint8_t* out) {
    for (int x = 0; x < width; ++x, out += 4) {
        const std::uint32_t p = in[x];
        const unsigned alpha = p >> 24;
        for (int c = 0; c < 3; ++c) {
            const unsigned value = (p >> (8 * c)) & 0xFF;
            out[c] = static_cast<std::uint8_t>(alpha == 0 ? 0 : (value * 255 + alpha / 2) / alpha);
        }
        out[3] = static_cast<std::uint8_t>(alpha);
    }
}

bool isOpaque(const PixelBuffer& pixels) {
    if (pixels.format() == PixelBuffer::Format::Rgb24) return true;
    for (int y = 0; y < pixels.height(); ++y) {
        const std::uint32_t* row = pixels.row(y);
        std::uint32_t all = 0xFF000000u;
        for (int x = 0; x < pixels.width(); ++x) all &= row[x];
        if (all != 0xFF000000u) return false;
    }
    return true;
}

struct PngWriter {
    std::vector<std::uint8_t>* out;
    std::string error;
    std::jmp_buf jump;
};

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* writer = static_cast<PngWriter*>(png_get_io_ptr(png));
    writer->out->insert(writer->out->end(), data, data + length);
}

void flushNothing(png_structp) {}

[[noreturn]] void failWrite(png_structp png, png_const_charp message) {
    auto* writer = static_cast<PngWriter*>(png_get_error_ptr(png));
    writer->error = message;
    std::longjmp(writer->jump, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// Everything libpng may jump out of lives here; the scratch row and the output are owned by
// the caller, so that no destructor is skipped by the jump.
bool writePng(PngWriter& writer, const PixelBuffer& pixels, bool opaque, std::uint8_t* scratch) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &writer, failWrite, ignoreWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(writer.jump)) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &writer, appendBytes, flushNothing);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_RLE);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_buffer_size(png, 1u << 18);
    png_set_IHDR(png, info, static_cast<png_uint_32>(pixels.width()),
                 static_cast<png_uint_32>(pixels.height()), 8,
                 opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    png_set_bgr(png);
    if (opaque) png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the unused byte
    for (int y = 0; y < pixels.height(); ++y) {
        if (opaque) {
            png_write_row(png, reinterpret_cast<png_const_bytep>(pixels.row(y)));
        } else {
            unpremultiplyRow(pixels.row(y), pixels.width(), scratch);
            png_write_row(png, scratch);
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

DecodeResult decodePng(std::span<const std::uint8_t> bytes) {
    if (!hasPngSignature(bytes)) return DecodeResult::failure("not a PNG file");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return DecodeResult::failure(std::string("corrupt PNG header: ") + image.message);
    std::unique_ptr<png_image, void (*)(png_imagep)> cleanup(&image, png_image_free);
    if (auto error = pictureSizeError(image.width, image.height))
        return DecodeResult::failure(*error);

    const bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_BGRA;  // cairo's byte order; opaque files get alpha 255
    auto pixels = std::make_shared<PixelBuffer>(
        static_cast<int>(image.width), static_cast<int>(image.height),
        hasAlpha ? PixelBuffer::Format::Argb32 : PixelBuffer::Format::Rgb24,
        PixelBuffer::Contents::Unspecified);
    if (!png_image_finish_read(&image, nullptr, pixels->data(), pixels->stride(), nullptr))
        return DecodeResult::failure(std::string("corrupt or truncated PNG data: ") +
                                     image.message);
    if (hasAlpha) premultiply(*pixels);
    return DecodeResult::success(Image::withPixels(std::move(pixels)));
}

EncodeResult encodePng(const PixelBuffer& pixels) {
    if (pixels.width() == 0 || pixels.height() == 0)
        return EncodeResult::failure("cannot encode an empty picture as PNG");
    const bool opaque = isOpaque(pixels);
    std::vector<std::uint8_t> out;
    // Room for an incompressible picture, so that the buffer is never copied while it grows;
    // pages that are not written are never touched.
    out.reserve(static_cast<std::size_t>(pixels.height()) * (pixels.width() * 4u + 1u) + 4096u);
    std::vector<std::uint8_t> scratch(opaque ? 0 : static_cast<std::size_t>(pixels.stride()));
    PngWriter writer{&out, {}, {}};
    if (!writePng(writer, pixels, opaque, scratch.data()))
        return EncodeResult::failure("PNG encoding failed: " + writer.error);
    return EncodeResult::success(std::move(out));
}

}  // namespace platform::graphics
