#include "platform/graphics/png_codec.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/graphics/parallel_rows.h"
#include "platform/graphics/picture_limits.h"
#include "platform/graphics/png_chunks.h"
#include "platform/graphics/png_deflate.h"
#include "platform/graphics/png_filters.h"
#include "platform/graphics/png_libpng_decode.h"

namespace platform::graphics {

namespace {

// The row filters may read this far past the image data.
constexpr std::size_t kReadSlack = 16;

// Every this many rows the encoder starts afresh with a row that needs nothing above it, so
// that decoding can be spread over the cores from there.
constexpr int kIndependentRowEvery = 64;

struct Decompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Our own reading covers what album pictures and our own files are: 8-bit RGB or RGBA, not
// interlaced, without a colour key. libpng reads everything else.
bool isPlainColour(const png::Chunks& chunks) {
    const png::Header& h = chunks.header;
    return h.bitDepth == 8 && (h.colorType == png::kRgb || h.colorType == png::kRgbAlpha) &&
           h.compression == 0 && h.filterMethod == 0 && h.interlace == 0 &&
           !chunks.hasTransparency && !chunks.unusual;
}

// libpng stops inflating once it has the last row and lets a wrong checksum after it pass
// with a warning, so for the files it reads the stream is checked to its end here first.
// Inflating stops, refused, past twice what the largest layout of the picture can hold, so
// that a small file cannot keep us inflating for long.
bool zlibStreamHoldsTogether(const png::Chunks& chunks) {
    const std::uint64_t limit =
        2 * std::uint64_t{chunks.header.height} * (1 + 8 * std::uint64_t{chunks.header.width});
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return false;
    std::uint8_t discard[1 << 16];
    int status = Z_OK;
    for (const auto& piece : chunks.imageData) {
        zs.next_in = const_cast<std::uint8_t*>(piece.data());
        zs.avail_in = static_cast<uInt>(piece.size());
        while (status == Z_OK && zs.avail_in > 0) {
            zs.next_out = discard;
            zs.avail_out = sizeof discard;
            status = inflate(&zs, Z_NO_FLUSH);
            if (zs.total_out > limit) status = Z_DATA_ERROR;
        }
        if (status != Z_OK) break;
    }
    while (status == Z_OK) {  // what is still inside zlib after the last input
        zs.next_out = discard;
        zs.avail_out = sizeof discard;
        status = inflate(&zs, Z_NO_FLUSH);
        if (status == Z_OK && zs.avail_out == sizeof discard) break;
    }
    inflateEnd(&zs);
    return status == Z_STREAM_END;
}

DecodeResult decodeWithLibpng(std::span<const std::uint8_t> bytes, const png::Chunks& chunks) {
    if (!zlibStreamHoldsTogether(chunks))
        return DecodeResult::failure("corrupt or truncated PNG data: bad compressed data");
    return decodePngWithLibpng(bytes);
}

// The rows at which decoding may start afresh, one stretch per core as even as they allow.
std::vector<int> independentStretches(const std::uint8_t* data, std::size_t rowBytes, int rows) {
    const int wanted = std::min(hardwareThreads(), std::max(1, rows / 64));
    std::vector<int> starts{0};
    for (int i = 1; i < wanted; ++i) {
        int y = std::max(starts.back() + 1, static_cast<int>(std::int64_t(rows) * i / wanted));
        while (y < rows && png::dependsOnRowAbove(data[rowBytes * static_cast<std::size_t>(y)]))
            ++y;
        if (y < rows) starts.push_back(y);
    }
    starts.push_back(rows);
    return starts;
}

// The image data inflated in one call: PNG's zlib stream, checked against its Adler-32.
DecodeResult decodePlainColour(std::span<const std::uint8_t> bytes, const png::Chunks& chunks) {
    const png::Header& h = chunks.header;
    const int width = static_cast<int>(h.width);
    const int height = static_cast<int>(h.height);
    const int channels = h.colorType == png::kRgbAlpha ? 4 : 3;
    const std::size_t rowBytes = 1 + std::size_t{h.width} * static_cast<std::size_t>(channels);
    const std::size_t size = rowBytes * h.height;

    PixelMemory joined;
    const std::uint8_t* input = chunks.imageData.empty() ? nullptr : chunks.imageData[0].data();
    if (chunks.imageData.size() > 1) {
        joined = PixelMemory::allocate(chunks.imageDataSize);
        std::size_t at = 0;
        for (const auto& piece : chunks.imageData) {
            std::memcpy(joined.data() + at, piece.data(), piece.size());
            at += piece.size();
        }
        input = joined.data();
    }
    PixelMemory filtered = PixelMemory::allocate(size + kReadSlack);
    std::unique_ptr<libdeflate_decompressor, Decompressor> inflater(
        libdeflate_alloc_decompressor());
    if (!inflater) return DecodeResult::failure("out of memory for PNG decoding");
    switch (libdeflate_zlib_decompress(inflater.get(), input, chunks.imageDataSize, filtered.data(),
                                       size, nullptr)) {
        case LIBDEFLATE_SUCCESS:
            break;
        case LIBDEFLATE_SHORT_OUTPUT:
            return DecodeResult::failure("corrupt or truncated PNG data: too little image data");
        case LIBDEFLATE_INSUFFICIENT_SPACE:
            // More data than the picture holds: other decoders ignore the rest, and so does
            // libpng, which reads it to the end to check it.
            return decodeWithLibpng(bytes, chunks);
        default:
            return DecodeResult::failure("corrupt or truncated PNG data: bad compressed data");
    }
    for (int y = 0; y < height; ++y)
        if (filtered.data()[rowBytes * static_cast<std::size_t>(y)] > png::kPaeth)
            return DecodeResult::failure("corrupt PNG data: unknown filter type");

    auto pixels = std::make_shared<PixelBuffer>(
        width, height, channels == 4 ? PixelBuffer::Format::Argb32 : PixelBuffer::Format::Rgb24,
        PixelBuffer::Contents::Unspecified);
    const std::vector<int> starts = independentStretches(filtered.data(), rowBytes, height);
    parallelRows(static_cast<int>(starts.size()) - 1, 1, [&](int first, int last) {
        for (int i = first; i < last; ++i)
            png::unfilterRows(filtered.data(), rowBytes, channels, starts[i], starts[i + 1],
                              *pixels);
    });
    return DecodeResult::success(Image::withPixels(std::move(pixels)));
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

}  // namespace

DecodeResult decodePng(std::span<const std::uint8_t> bytes) {
    if (!png::hasSignature(bytes)) return DecodeResult::failure("not a PNG file");
    auto walked = png::readChunks(bytes);
    if (auto* error = std::get_if<std::string>(&walked)) return DecodeResult::failure(*error);
    const png::Chunks& chunks = std::get<png::Chunks>(walked);
    if (auto error = pictureSizeError(chunks.header.width, chunks.header.height))
        return DecodeResult::failure(*error);
    if (isPlainColour(chunks)) return decodePlainColour(bytes, chunks);
    return decodeWithLibpng(bytes, chunks);
}

EncodeResult encodePng(const PixelBuffer& pixels) {
    if (pixels.width() == 0 || pixels.height() == 0)
        return EncodeResult::failure("cannot encode an empty picture as PNG");
    const bool opaque = isOpaque(pixels);
    const int channels = opaque ? 3 : 4;
    const std::size_t rowBytes = 1 + static_cast<std::size_t>(pixels.width()) * channels;
    const std::size_t size = rowBytes * static_cast<std::size_t>(pixels.height());

    if (size > png::kMaxChunkLength)
        return EncodeResult::failure("picture too large to encode as PNG");

    PixelMemory filtered = PixelMemory::allocate(size);
    parallelRows(pixels.height(), kIndependentRowEvery, [&](int first, int last) {
        png::filterRows(pixels, channels, first, last, kIndependentRowEvery,
                        filtered.data() + rowBytes * static_cast<std::size_t>(first));
    });
    auto stream = png::compressImageData(filtered.data(), size);
    if (!stream) return EncodeResult::failure("PNG encoding failed: deflate error");
    if (stream->size() > png::kMaxChunkLength)
        return EncodeResult::failure("picture too large to encode as PNG");

    std::vector<std::uint8_t> out;
    out.reserve(64 + stream->size());
    png::appendSignatureAndHeader(out, {static_cast<std::uint32_t>(pixels.width()),
                                        static_cast<std::uint32_t>(pixels.height()), 8,
                                        opaque ? png::kRgb : png::kRgbAlpha, 0, 0, 0});
    const std::size_t chunkStart = out.size();
    out.resize(chunkStart + 12 + stream->size());
    stream->copyTo(out.data() + chunkStart + 8);
    png::frameChunkInPlace(out.data() + chunkStart, "IDAT", stream->size());
    png::appendChunk(out, "IEND", {});
    return EncodeResult::success(std::move(out));
}

}  // namespace platform::graphics
