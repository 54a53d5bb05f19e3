#include "platform/graphics/png_libpng_decode.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "platform/graphics/picture_limits.h"
#include "platform/graphics/png_filters.h"

namespace platform::graphics {

namespace {

struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t offset = 0;
    std::string error;
    std::jmp_buf jump;
};

void readBytes(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (reader->bytes.size() - reader->offset < length) png_error(png, "unexpected end of file");
    std::memcpy(out, reader->bytes.data() + reader->offset, length);
    reader->offset += length;
}

[[noreturn]] void failRead(png_structp png, png_const_charp message) {
    auto* reader = static_cast<Reader*>(png_get_error_ptr(png));
    reader->error = message;
    std::longjmp(reader->jump, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// Owns libpng's reading state, which it frees on every way out.
struct ReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadState() { png_destroy_read_struct(&png, &info, nullptr); }
};

// Everything libpng may jump out of lives in these two functions, which hold no object whose
// destructor it could skip.
bool readHeader(Reader& reader, ReadState& state, bool& hasAlpha) {
    if (setjmp(reader.jump)) return false;
    png_structp png = state.png;
    png_infop info = state.info;
    png_set_read_fn(png, &reader, readBytes);
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);
    // Cairo's layout, 8 bits a channel, as stored: palettes, grey and colour keys expanded,
    // 16-bit samples scaled with rounding, and no gamma conversion (like other viewers that
    // show the samples as stored).
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

// Reading to the end also checks what follows the pixels: the image data's own checksum
// and the remaining chunks'.
bool readRows(Reader& reader, ReadState& state, png_bytepp rows) {
    if (setjmp(reader.jump)) return false;
    png_read_image(state.png, rows);
    png_read_end(state.png, nullptr);
    return true;
}

}  // namespace

DecodeResult decodePngWithLibpng(std::span<const std::uint8_t> bytes) {
    Reader reader{bytes, 0, {}, {}};
    ReadState state;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, failRead, ignoreWarning);
    if (!state.png) return DecodeResult::failure("out of memory for PNG reading");
    state.info = png_create_info_struct(state.png);
    if (!state.info) return DecodeResult::failure("out of memory for PNG reading");

    bool hasAlpha = false;
    if (!readHeader(reader, state, hasAlpha))
        return DecodeResult::failure("corrupt PNG header: " + reader.error);
    const png_uint_32 width = png_get_image_width(state.png, state.info);
    const png_uint_32 height = png_get_image_height(state.png, state.info);
    if (auto error = pictureSizeError(width, height)) return DecodeResult::failure(*error);
    if (png_get_rowbytes(state.png, state.info) != std::size_t{width} * 4)
        return DecodeResult::failure("unsupported PNG layout");

    auto pixels = std::make_shared<PixelBuffer>(
        static_cast<int>(width), static_cast<int>(height),
        hasAlpha ? PixelBuffer::Format::Argb32 : PixelBuffer::Format::Rgb24,
        PixelBuffer::Contents::Unspecified);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(pixels->row(static_cast<int>(y)));
    if (!readRows(reader, state, rows.data()))
        return DecodeResult::failure("corrupt or truncated PNG data: " + reader.error);
    if (hasAlpha)
        for (int y = 0; y < pixels->height(); ++y)
            png::premultiplyRow(pixels->row(y), pixels->width(), pixels->row(y));
    return DecodeResult::success(Image::withPixels(std::move(pixels)));
}

}  // namespace platform::graphics
