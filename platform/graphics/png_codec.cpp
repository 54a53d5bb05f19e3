#include "platform/graphics/png_codec.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/parallel_rows.h"
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
            // Clamped: a colour brighter than its alpha is not valid premultiplied data.
            out[c] = static_cast<std::uint8_t>(
                alpha == 0 ? 0 : std::min(255u, (value * 255 + alpha / 2) / alpha));
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

// One row as PNG stores it with the SUB filter: the filter type, then each byte minus the
// same byte of the pixel to its left. SUB was measured fastest at about the same size.
void filterRow(const std::uint32_t* row, int width, bool opaque, std::uint8_t* out) {
    constexpr std::uint8_t kSubFilter = 1;
    *out++ = kSubFilter;
    if (opaque) {
        std::uint8_t left[3] = {0, 0, 0};
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(p >> 16),
                                         static_cast<std::uint8_t>(p >> 8),
                                         static_cast<std::uint8_t>(p)};
            for (int c = 0; c < 3; ++c) {
                *out++ = static_cast<std::uint8_t>(rgb[c] - left[c]);
                left[c] = rgb[c];
            }
        }
        return;
    }
    std::uint8_t* straight = out;
    unpremultiplyRow(row, width, straight);  // BGRA; reorder to RGBA, then filter in place
    for (int x = width - 1; x >= 0; --x) std::swap(straight[4 * x], straight[4 * x + 2]);
    for (int i = 4 * width - 1; i >= 4; --i)
        straight[i] = static_cast<std::uint8_t>(straight[i] - straight[i - 4]);
}

// A slice of the image data: its rows filtered and deflated on their own. Slices end on a
// byte-aligned flush, so that their outputs join into one zlib stream; run-length matching
// looks back a single byte, so starting each slice afresh costs nothing in size.
struct DeflatedSlice {
    PixelMemory bytes;
    std::size_t size = 0;
    std::uint32_t adler = 1;
    std::size_t length = 0;  // uncompressed
    bool ok = false;
};

void deflateSlice(const PixelBuffer& pixels, bool opaque, int first, int last, bool final,
                  DeflatedSlice& slice) {
    const std::size_t rowBytes = 1 + static_cast<std::size_t>(pixels.width()) * (opaque ? 3 : 4);
    slice.length = rowBytes * static_cast<std::size_t>(last - first);
    PixelMemory filtered = PixelMemory::allocate(slice.length);
    for (int y = first; y < last; ++y)
        filterRow(pixels.row(y), pixels.width(), opaque,
                  filtered.data() + rowBytes * static_cast<std::size_t>(y - first));
    slice.adler = static_cast<std::uint32_t>(adler32_z(1, filtered.data(), slice.length));

    z_stream zs{};
    // Level 1 with run-length matching: the fastest at about the size of the defaults, which
    // take seconds on a 12-megapixel photograph. Raw deflate: the zlib frame is added once.
    if (deflateInit2(&zs, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK) return;
    const std::size_t bound = deflateBound(&zs, slice.length) + 16;
    slice.bytes = PixelMemory::allocate(bound);
    zs.next_in = filtered.data();
    zs.avail_in = static_cast<uInt>(slice.length);
    zs.next_out = slice.bytes.data();
    zs.avail_out = static_cast<uInt>(bound);
    const int status = deflate(&zs, final ? Z_FINISH : Z_SYNC_FLUSH);
    slice.ok = (final ? status == Z_STREAM_END : status == Z_OK) && zs.avail_in == 0;
    slice.size = bound - zs.avail_out;
    deflateEnd(&zs);
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

void writeChunk(png_structp png, const char* name, const std::uint8_t* data, std::size_t size) {
    png_write_chunk(png, reinterpret_cast<png_const_bytep>(name), data, size);
}

// libpng writes the signature, the header and every chunk's framing and checksum; the image
// data is one zlib stream: its two-byte header, the slices in order, and the checksum of all.
// Everything libpng may jump out of lives here, with no object whose destructor it could skip.
bool writePng(PngWriter& writer, const PixelBuffer& pixels, bool opaque,
              const std::vector<DeflatedSlice>& slices, std::uint32_t adler) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &writer, failWrite, ignoreWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(writer.jump)) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &writer, appendBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(pixels.width()),
                 static_cast<png_uint_32>(pixels.height()), 8,
                 opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    const std::uint8_t zlibHeader[2] = {0x78, 0x01};  // deflate, 32 KiB window, fastest level
    writeChunk(png, "IDAT", zlibHeader, sizeof zlibHeader);
    for (const DeflatedSlice& slice : slices)
        writeChunk(png, "IDAT", slice.bytes.data(), slice.size);
    const std::uint8_t checksum[4] = {
        static_cast<std::uint8_t>(adler >> 24), static_cast<std::uint8_t>(adler >> 16),
        static_cast<std::uint8_t>(adler >> 8), static_cast<std::uint8_t>(adler)};
    writeChunk(png, "IDAT", checksum, sizeof checksum);
    writeChunk(png, "IEND", nullptr, 0);
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
    // A single deflate stream would keep one core busy and the other idle.
    const int count = std::clamp(pixels.height() / 256, 1, 2 * hardwareThreads());
    std::vector<DeflatedSlice> slices(static_cast<std::size_t>(count));
    auto sliceStart = [&](int i) {
        return static_cast<int>(std::int64_t(pixels.height()) * i / count);
    };
    parallelRows(count, 1, [&](int first, int last) {
        for (int i = first; i < last; ++i)
            deflateSlice(pixels, opaque, sliceStart(i), sliceStart(i + 1), i == count - 1,
                         slices[static_cast<std::size_t>(i)]);
    });
    std::uint32_t adler = 1;
    std::size_t total = 0;
    for (const DeflatedSlice& slice : slices) {
        if (!slice.ok) return EncodeResult::failure("PNG encoding failed: deflate error");
        adler = static_cast<std::uint32_t>(
            adler32_combine(adler, slice.adler, static_cast<z_off_t>(slice.length)));
        total += slice.size;
    }
    std::vector<std::uint8_t> out;
    out.reserve(total + 1024);  // headers and chunk framing
    PngWriter writer{&out, {}, {}};
    if (!writePng(writer, pixels, opaque, slices, adler))
        return EncodeResult::failure("PNG encoding failed: " + writer.error);
    return EncodeResult::success(std::move(out));
}

}  // namespace platform::graphics
