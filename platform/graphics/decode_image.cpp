#include "platform/graphics/decode_image.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/png_codec.h"

namespace platform::graphics {

namespace {

// A compressed file larger than this cannot hold a picture within the decoders' limits.
constexpr std::uintmax_t kMaxFileSize = 1u << 30;

}  // namespace

DecodeResult decodeImage(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) return decodeJpeg(bytes);
    if (bytes.size() >= 4 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' &&
        bytes[3] == 'G')
        return decodePng(bytes);
    return DecodeResult::failure("unsupported picture format: neither JPEG nor PNG");
}

DecodeResult decodeImageFile(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return DecodeResult::failure("cannot read " + path.string() + ": " + error.message());
    if (size > kMaxFileSize)
        return DecodeResult::failure("cannot read " + path.string() + ": file too large");
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        return DecodeResult::failure("cannot read " + path.string() + ": " + std::strerror(errno));
    DecodeResult result = decodeImage(bytes);
    if (!result) return DecodeResult::failure(path.string() + ": " + result.error());
    return result;
}

}  // namespace platform::graphics
