#include "platform/graphics/png_text.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace platform::graphics {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Length, type, and checksum around a chunk's data.
constexpr std::size_t kChunkOverhead = 12;
constexpr std::size_t kMaxKeyword = 79;

std::uint32_t readBigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

bool hasSignature(std::span<const std::uint8_t> png) {
    return png.size() >= kSignature.size() &&
           std::equal(kSignature.begin(), kSignature.end(), png.begin());
}

// The checksum covers the type and the data, not the length.
std::uint32_t chunkCrc(const std::uint8_t* typeAndData, std::size_t length) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (length > 0) {
        const auto piece =
            static_cast<uInt>(std::min<std::size_t>(length, std::numeric_limits<uInt>::max()));
        crc = crc32(crc, typeAndData, piece);
        typeAndData += piece;
        length -= piece;
    }
    return static_cast<std::uint32_t>(crc);
}

void appendTextChunk(std::vector<std::uint8_t>& out, const std::string& keyword,
                     const std::string& text) {
    if (keyword.empty() || keyword.size() > kMaxKeyword ||
        keyword.find('\0') != std::string::npos || text.find('\0') != std::string::npos)
        throw std::invalid_argument("PNG text keyword or text not allowed: " + keyword);
    const std::size_t length = keyword.size() + 1 + text.size();
    if (length > 0x7FFFFFFFu) throw std::invalid_argument("PNG text too long");
    appendBigEndian(out, static_cast<std::uint32_t>(length));
    const std::size_t typeStart = out.size();
    out.insert(out.end(), {'t', 'E', 'X', 't'});
    out.insert(out.end(), keyword.begin(), keyword.end());
    out.push_back(0);
    out.insert(out.end(), text.begin(), text.end());
    appendBigEndian(out, chunkCrc(out.data() + typeStart, 4 + length));
}

}  // namespace

std::vector<std::uint8_t> withPngText(std::span<const std::uint8_t> png, const PngTexts& texts) {
    // The header chunk is always first and always 13 bytes long.
    constexpr std::size_t kHeaderEnd = kSignature.size() + kChunkOverhead + 13;
    if (!hasSignature(png) || png.size() < kHeaderEnd ||
        std::memcmp(png.data() + kSignature.size() + 4, "IHDR", 4) != 0 ||
        readBigEndian(png.data() + kSignature.size()) != 13)
        throw std::invalid_argument("not a PNG file");
    std::vector<std::uint8_t> out(png.begin(), png.begin() + kHeaderEnd);
    for (const auto& [keyword, text] : texts) appendTextChunk(out, keyword, text);
    out.insert(out.end(), png.begin() + kHeaderEnd, png.end());
    return out;
}

std::optional<std::map<std::string, std::string>> readPngText(std::span<const std::uint8_t> png) {
    if (!hasSignature(png)) return std::nullopt;
    std::map<std::string, std::string> texts;
    std::size_t at = kSignature.size();
    while (png.size() - at >= kChunkOverhead) {
        const std::size_t length = readBigEndian(png.data() + at);
        if (length > png.size() - at - kChunkOverhead) return std::nullopt;
        const std::uint8_t* type = png.data() + at + 4;
        const std::uint8_t* data = type + 4;
        if (chunkCrc(type, 4 + length) != readBigEndian(data + length)) return std::nullopt;
        if (std::memcmp(type, "IEND", 4) == 0) return texts;
        if (std::memcmp(type, "tEXt", 4) == 0) {
            const auto* end = data + length;
            const auto* separator = std::find(data, end, std::uint8_t{0});
            // A chunk without its separator is malformed; the file's other text still counts.
            if (separator != end)
                texts.emplace(std::string(data, separator), std::string(separator + 1, end));
        }
        at += kChunkOverhead + length;
    }
    return std::nullopt;
}

}  // namespace platform::graphics
