#include "platform/graphics/picture_header.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/jpeg_segments.h"
#include "platform/graphics/png_chunks.h"
#include "platform/graphics/png_codec.h"

namespace platform::graphics {

namespace {

// Metadata (ICC profiles, XMP, text) and trailers (a motion photo's video) beside the pixels.
constexpr std::uint64_t kMetadataRoom = 64ull << 20;

// No JPEG encoder spends more than this per sample, even at the highest quality.
constexpr std::uint64_t kJpegBytesPerSample = 3;

std::uint32_t bigEndian(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

bool turnedByExif(const ByteSource& bytes, const jpeg::Segments& segments) {
    if (segments.exifLength == 0) return false;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(segments.exifLength));
    if (!bytes.read(segments.exifAt, block)) return false;
    return readExifOrientation(block) != ImageOrientation::Up;
}

std::variant<PictureHeader, std::string> jpegHeader(const ByteSource& bytes) {
    auto read = jpeg::readSegments(bytes);
    if (auto* error = std::get_if<std::string>(&read)) return "corrupt JPEG header: " + *error;
    const jpeg::Segments& segments = std::get<jpeg::Segments>(read);
    const jpeg::Frame& frame = *segments.frame;
    PictureHeader header;
    header.format = PictureHeader::Format::Jpeg;
    header.width = frame.width;
    header.height = frame.height;
    header.upright = segments.damage || !turnedByExif(bytes, segments);
    if (segments.buffered) header.decodingBytes = jpeg::coefficientBytes(frame);
    // A damaged segment is decoded from a copy of the file without it.
    if (segments.damage) header.decodingBytes += bytes.size();
    header.largestFile = static_cast<std::uint64_t>(frame.width) * frame.height *
                             frame.components.size() * kJpegBytesPerSample +
                         kMetadataRoom;
    return header;
}

// Transparency chunks come before the image data; the walk stops there.
bool hasTransparencyChunk(const ByteSource& bytes, std::uint64_t at) {
    constexpr int kMaxChunks = 1000;
    for (int i = 0; i < kMaxChunks; ++i) {
        std::uint8_t head[8];
        if (!bytes.read(at, head)) return false;
        if (std::memcmp(head + 4, "tRNS", 4) == 0) return true;
        if (std::memcmp(head + 4, "IDAT", 4) == 0) return false;
        at += 12 + std::uint64_t{bigEndian(head)};
    }
    return false;
}

std::variant<PictureHeader, std::string> pngHeader(const ByteSource& bytes) {
    // The signature, then the header chunk: its length (13), type and fields.
    std::uint8_t start[33];
    if (!bytes.read(0, start) || bigEndian(start + 8) != 13 ||
        std::memcmp(start + 12, "IHDR", 4) != 0)
        return std::string("corrupt PNG header: the file does not start with IHDR");
    const png::Header h{bigEndian(start + 16),
                        bigEndian(start + 20),
                        start[24],
                        start[25],
                        start[26],
                        start[27],
                        start[28]};
    PictureHeader header;
    header.format = PictureHeader::Format::Png;
    header.width = h.width;
    header.height = h.height;
    header.hasAlpha = h.colorType == png::kGreyAlpha || h.colorType == png::kRgbAlpha ||
                      hasTransparencyChunk(bytes, sizeof start + 4);
    header.decodingBytes = pngDecodingBytes(h);
    // Every row's filter byte, in every interlace pass (fewer than two rows' worth in all),
    // and a partial byte per pass row; stored blocks add a hundredth at most.
    const std::uint64_t bitsPerPixel =
        std::uint64_t{h.bitDepth} * (h.colorType == png::kRgb         ? 3
                                     : h.colorType == png::kGreyAlpha ? 2
                                     : h.colorType == png::kRgbAlpha  ? 4
                                                                      : 1);
    const std::uint64_t raw = std::uint64_t{h.height} * (4 + (h.width * bitsPerPixel + 7) / 8);
    header.largestFile = raw + raw / 100 + kMetadataRoom;
    return header;
}

}  // namespace

std::variant<PictureHeader, std::string> readPictureHeader(const ByteSource& bytes) {
    std::uint8_t signature[8] = {};
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(8, bytes.size()));
    if (bytes.read(0, {signature, length})) {
        if (length >= 3 && signature[0] == 0xFF && signature[1] == 0xD8 && signature[2] == 0xFF)
            return jpegHeader(bytes);
        if (png::hasSignature({signature, length})) return pngHeader(bytes);
    }
    return std::string("unsupported picture format: neither JPEG nor PNG");
}

}  // namespace platform::graphics
