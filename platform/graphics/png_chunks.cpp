#include "platform/graphics/png_chunks.h"

#include <libdeflate.h>

#include <cstring>

namespace platform::graphics::png {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t readBigEndian(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

void writeBigEndian(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

bool isType(const std::uint8_t* type, const char (&name)[5]) {
    return std::memcmp(type, name, 4) == 0;
}

// Bit 5 of the first letter: lower case means the chunk may be ignored.
bool isCritical(const std::uint8_t* type) {
    return (type[0] & 0x20) == 0;
}

Header parseHeader(const std::uint8_t* p) {
    return {readBigEndian(p), readBigEndian(p + 4), p[8], p[9], p[10], p[11], p[12]};
}

}  // namespace

bool hasSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kSignature &&
           std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

std::variant<Chunks, std::string> readChunks(std::span<const std::uint8_t> bytes) {
    Chunks chunks;
    std::size_t at = sizeof kSignature;
    bool sawHeader = false;
    bool imageDataEnded = false;
    for (;;) {
        if (bytes.size() - at < 12) return std::string("corrupt or truncated PNG data: no IEND");
        const std::uint32_t length = readBigEndian(bytes.data() + at);
        const std::uint8_t* type = bytes.data() + at + 4;
        const std::uint8_t* data = type + 4;
        if (length > kMaxChunkLength || bytes.size() - at - 12 < length)
            return std::string("corrupt or truncated PNG data: a chunk runs past the end");
        at += 12 + std::size_t{length};
        if (!sawHeader && !isType(type, "IHDR"))
            return std::string("corrupt PNG header: the file does not start with IHDR");
        if (!isCritical(type)) {
            if (isType(type, "tRNS")) chunks.hasTransparency = true;
            if (!chunks.imageData.empty()) imageDataEnded = true;
            continue;
        }
        const std::uint32_t crc = libdeflate_crc32(0, type, 4 + std::size_t{length});
        if (crc != readBigEndian(data + length))
            return std::string("corrupt PNG data: checksum mismatch in ") +
                   std::string(reinterpret_cast<const char*>(type), 4);
        if (isType(type, "IHDR")) {
            if (sawHeader || length != 13) return std::string("corrupt PNG header: bad IHDR");
            chunks.header = parseHeader(data);
            sawHeader = true;
        } else if (isType(type, "IDAT")) {
            if (imageDataEnded) chunks.unusual = true;
            chunks.imageData.emplace_back(data, length);
            chunks.imageDataSize += length;
        } else if (isType(type, "IEND")) {
            return chunks;
        } else {
            if (!chunks.imageData.empty()) imageDataEnded = true;
            if (!isType(type, "PLTE")) chunks.unusual = true;
        }
    }
}

void appendSignatureAndHeader(std::vector<std::uint8_t>& out, const Header& header) {
    out.insert(out.end(), std::begin(kSignature), std::end(kSignature));
    std::uint8_t fields[13];
    writeBigEndian(fields, header.width);
    writeBigEndian(fields + 4, header.height);
    fields[8] = header.bitDepth;
    fields[9] = header.colorType;
    fields[10] = header.compression;
    fields[11] = header.filterMethod;
    fields[12] = header.interlace;
    appendChunk(out, "IHDR", fields);
}

void appendChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
                 std::span<const std::uint8_t> data) {
    const std::size_t at = out.size();
    out.resize(at + 12 + data.size());
    if (!data.empty()) std::memcpy(out.data() + at + 8, data.data(), data.size());
    frameChunkInPlace(out.data() + at, type, data.size());
}

void frameChunkInPlace(std::uint8_t* at, const char (&type)[5], std::size_t size) {
    writeBigEndian(at, static_cast<std::uint32_t>(size));
    std::memcpy(at + 4, type, 4);
    writeBigEndian(at + 8 + size, libdeflate_crc32(0, at + 4, 4 + size));
}

}  // namespace platform::graphics::png
