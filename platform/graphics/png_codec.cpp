#include "platform/graphics/png_codec.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/graphics/memory_budget.h"
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

// Inflating the image data whole takes its whole size beside the pixels; inflating it a
// stretch of rows at a time takes next to nothing, but on one core. Up to here (about 20
// megapixels of RGB, every camera's photographs) the whole-buffer reading's speed is worth its
// memory, when the memory budget has room for it.
constexpr std::uint64_t kWholeBufferLimit = 64ull << 20;
constexpr std::size_t kStretchBytes = 1u << 20;
// zlib's inflater: its window and its state.
constexpr std::uint64_t kInflaterBytes = 48u << 10;

struct Decompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

std::uint64_t filteredSize(const png::Header& h) {
    const int channels = h.colorType == png::kRgbAlpha ? 4 : 3;
    return std::uint64_t{h.height} * (1 + std::uint64_t{h.width} * channels);
}

// 8-bit RGB or RGBA, not interlaced: what album pictures and our own files are.
bool isPlainHeader(const png::Header& h) {
    return h.bitDepth == 8 && (h.colorType == png::kRgb || h.colorType == png::kRgbAlpha) &&
           h.compression == 0 && h.filterMethod == 0 && h.interlace == 0;
}

// Our own reading covers plain pictures without a colour key. libpng reads everything else.
bool isPlainColour(const png::Chunks& chunks) {
    return isPlainHeader(chunks.header) && !chunks.hasTransparency && !chunks.unusual;
}

std::uint64_t stretchDecodingBytes(const png::Header& h) {
    const std::uint64_t rowBytes = filteredSize(h) / std::max<std::uint32_t>(1, h.height);
    return std::max<std::uint64_t>(kStretchBytes, rowBytes) + kReadSlack + kInflaterBytes;
}

// libpng's rows at the file's depth, the row pointers, and the inflater's window.
std::uint64_t libpngDecodingBytes(const png::Header& h) {
    return 2 * (1 + 8 * std::uint64_t{h.width}) + 8 * std::uint64_t{h.height} + (1u << 16);
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

// zlib's inflater over the image data, chunk after chunk.
class Inflation {
  public:
    explicit Inflation(const png::Chunks& chunks) : chunks_(chunks) {
        started_ = inflateInit(&zs_) == Z_OK;
        if (!started_) status_ = Z_MEM_ERROR;
    }
    ~Inflation() {
        if (started_) inflateEnd(&zs_);
    }
    Inflation(const Inflation&) = delete;
    Inflation& operator=(const Inflation&) = delete;

    bool started() const { return started_; }
    // The stream ended (checksum and all) before it filled what was asked.
    bool endedEarly() const { return status_ == Z_STREAM_END; }

    // Inflates into out[0, size): true when all of it came, false when the stream ended
    // before, ran out of data or is damaged.
    bool fill(std::uint8_t* out, std::size_t size) {
        zs_.next_out = out;
        zs_.avail_out = static_cast<uInt>(size);
        while (zs_.avail_out > 0 && status_ == Z_OK) {
            if (zs_.avail_in == 0) {
                if (next_ == chunks_.imageData.size()) {
                    status_ = Z_BUF_ERROR;  // cut short
                    break;
                }
                const auto piece = chunks_.imageData[next_++];
                zs_.next_in = const_cast<std::uint8_t*>(piece.data());
                zs_.avail_in = static_cast<uInt>(piece.size());
                continue;
            }
            status_ = inflate(&zs_, Z_NO_FLUSH);
        }
        return zs_.avail_out == 0;
    }

    // Inflates what follows the rows to the stream's end, where its checksum is checked, as
    // other decoders do: data past the last row is let be. Refused past `limit` bytes in all,
    // so that a small file cannot keep us inflating for long.
    bool finish(std::uint64_t limit) {
        std::uint8_t discard[1 << 14];
        while (status_ == Z_OK && zs_.total_out <= limit) fill(discard, sizeof discard);
        return status_ == Z_STREAM_END;
    }

  private:
    const png::Chunks& chunks_;
    z_stream zs_{};
    std::size_t next_ = 0;
    int status_ = Z_OK;
    bool started_ = false;
};

// Rows inflated and reconstructed a stretch at a time, the next stretch into the same small
// buffer: for pictures whose image data is too large to inflate whole.
DecodeResult decodePlainColourInStretches(const png::Chunks& chunks) {
    const png::Header& h = chunks.header;
    const int width = static_cast<int>(h.width);
    const int height = static_cast<int>(h.height);
    const int channels = h.colorType == png::kRgbAlpha ? 4 : 3;
    const std::size_t rowBytes = 1 + std::size_t{h.width} * static_cast<std::size_t>(channels);
    const int stretch =
        std::min(height, static_cast<int>(std::max<std::size_t>(1, kStretchBytes / rowBytes)));

    Inflation inflation(chunks);
    if (!inflation.started())
        return DecodeResult::failure("out of memory for PNG decoding", FailureCause::Memory);
    std::vector<std::uint8_t> buffer(rowBytes * static_cast<std::size_t>(stretch) + kReadSlack);
    auto pixels = std::make_shared<PixelBuffer>(
        width, height, channels == 4 ? PixelBuffer::Format::Argb32 : PixelBuffer::Format::Rgb24,
        PixelBuffer::Contents::Unspecified);
    png::RowReconstruction reconstruction(*pixels, channels);
    for (int y = 0; y < height; y += stretch) {
        const int rows = std::min(stretch, height - y);
        if (!inflation.fill(buffer.data(), rowBytes * static_cast<std::size_t>(rows)))
            return DecodeResult::failure(
                inflation.endedEarly() ? "corrupt or truncated PNG data: too little image data"
                                       : "corrupt or truncated PNG data: bad compressed data");
        for (int i = 0; i < rows; ++i)
            if (buffer[rowBytes * static_cast<std::size_t>(i)] > png::kPaeth)
                return DecodeResult::failure("corrupt PNG data: unknown filter type");
        reconstruction.rows(buffer.data(), rowBytes, y, y + rows, true);
    }
    const std::uint64_t limit = 2 * std::uint64_t{h.height} * (1 + 8 * std::uint64_t{h.width});
    if (!inflation.finish(limit))
        return DecodeResult::failure("corrupt or truncated PNG data: bad compressed data");
    return DecodeResult::success(Image::withPixels(std::move(pixels)));
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

EncodeResult encodeRows(const PixelBuffer& pixels) {
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
    filtered = PixelMemory();  // not needed beside the file that is made next
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

}  // namespace

std::uint64_t pngDecodingBytes(const png::Header& header) {
    if (!isPlainHeader(header)) return libpngDecodingBytes(header);
    if (filteredSize(header) <= kWholeBufferLimit) return filteredSize(header) + kReadSlack;
    return stretchDecodingBytes(header);
}

DecodeResult decodePng(std::span<const std::uint8_t> bytes) {
    if (!png::hasSignature(bytes)) return DecodeResult::failure("not a PNG file");
    auto walked = png::readChunks(bytes);
    if (auto* error = std::get_if<std::string>(&walked)) return DecodeResult::failure(*error);
    const png::Chunks& chunks = std::get<png::Chunks>(walked);
    const png::Header& h = chunks.header;
    if (auto error = pictureSizeError(h.width, h.height)) return DecodeResult::failure(*error);
    const std::uint64_t pixels = pixelBytes(h.width, h.height);
    const bool plain = isPlainColour(chunks);
    if (auto error = memoryBudgetError(
            h.width, h.height, pixels + (plain ? stretchDecodingBytes(h) : libpngDecodingBytes(h))))
        return DecodeResult::failure(*error, FailureCause::Memory);
    // The rows inflated whole, and the image data joined when it comes in several chunks.
    const std::uint64_t whole =
        filteredSize(h) + kReadSlack + (chunks.imageData.size() > 1 ? chunks.imageDataSize : 0);
    const bool inflateWhole = plain && filteredSize(h) <= kWholeBufferLimit &&
                              !memoryBudgetError(h.width, h.height, pixels + whole);
    try {
        if (!plain) return decodeWithLibpng(bytes, chunks);
        return inflateWhole ? decodePlainColour(bytes, chunks)
                            : decodePlainColourInStretches(chunks);
    } catch (const std::bad_alloc&) {
        return DecodeResult::failure("not enough memory to decode a PNG picture of " +
                                         std::to_string(h.width) + " x " +
                                         std::to_string(h.height) + " pixels",
                                     FailureCause::Memory);
    }
}

EncodeResult encodePng(const PixelBuffer& pixels) {
    if (pixels.width() == 0 || pixels.height() == 0)
        return EncodeResult::failure("cannot encode an empty picture as PNG");
    try {
        return encodeRows(pixels);
    } catch (const std::bad_alloc&) {
        return EncodeResult::failure("not enough memory to encode a picture of " +
                                         std::to_string(pixels.width()) + " x " +
                                         std::to_string(pixels.height()) + " pixels as PNG",
                                     FailureCause::Memory);
    }
}

}  // namespace platform::graphics
