#include "platform/graphics/decode_image.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/graphics/byte_source.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/memory_budget.h"
#include "platform/graphics/picture_header.h"
#include "platform/graphics/picture_limits.h"
#include "platform/graphics/png_codec.h"

namespace platform::graphics {

namespace {

std::string megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20);
}

// What a picture takes at its peak on its way to the screen (the preview of a picked photo):
// decoded, turned upright (a copy unless it is stored upright), its PNG for sharing made and
// read back, and the reduced copies it is drawn from. The decoded picture may be held by
// whoever picked it until the end, so it counts throughout; the PNG is counted at its
// largest, as large as its rows.
std::uint64_t memoryToShow(const PictureHeader& header, std::uint64_t fileBytes) {
    const std::uint64_t pixels = pixelBytes(header.width, header.height);
    const std::uint64_t upright = header.upright ? 0 : pixels;
    const int channels = header.hasAlpha ? 4 : 3;
    // Turned or not, the PNG has as many pixels; a sideways one has more rows.
    const auto width = static_cast<std::uint32_t>(std::min(header.width, header.height));
    const auto height = static_cast<std::uint32_t>(std::max(header.width, header.height));
    const png::Header shared{
        width, height, 8, static_cast<std::uint8_t>(header.hasAlpha ? png::kRgbAlpha : png::kRgb),
        0,     0,      0};
    const std::uint64_t rows = std::uint64_t{height} * (1 + std::uint64_t{width} * channels);
    const std::uint64_t decoding = fileBytes + header.decodingBytes + pixels;
    // The filtered rows and the compressed stream beside them, then the stream and the file.
    const std::uint64_t encoding = pixels + upright + 2 * rows;
    const std::uint64_t readingBack =
        2 * pixels + rows + std::max(pngDecodingBytes(shared), pixels / 3);
    return std::max({decoding, encoding, readingBack});
}

}  // namespace

DecodeResult decodeImage(std::span<const std::uint8_t> bytes) {
    try {
        if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) return decodeJpeg(bytes);
        if (bytes.size() >= 4 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' &&
            bytes[3] == 'G')
            return decodePng(bytes);
    } catch (const std::bad_alloc&) {
        return DecodeResult::failure("not enough memory to decode the picture",
                                     FailureCause::Memory);
    }
    return DecodeResult::failure("unsupported picture format: neither JPEG nor PNG");
}

namespace {

// Reads the file once its header has passed the checks: a JPEG or PNG, within the size
// limits, no larger than such a picture can be, and then whatever `check` asks of it.
template <class Check>
Result<std::vector<std::uint8_t>> readChecked(const std::filesystem::path& path, Check check) {
    using Bytes = Result<std::vector<std::uint8_t>>;
    const auto failure = [&](const std::string& error, FailureCause cause = FailureCause::Input) {
        return Bytes::failure(path.string() + ": " + error, cause);
    };
    const FileBytes file(path);
    if (!file.error().empty())
        return Bytes::failure("cannot read " + path.string() + ": " + file.error());
    auto read = readPictureHeader(file);
    if (auto* error = std::get_if<std::string>(&read)) return failure(*error);
    const PictureHeader& header = std::get<PictureHeader>(read);
    if (auto error = pictureSizeError(header.width, header.height)) return failure(*error);
    if (file.size() > header.largestFile)
        return failure("a file of " + megabytes(file.size()) +
                       " MB is far larger than a picture of " + std::to_string(header.width) +
                       " x " + std::to_string(header.height) + " pixels can be");
    if (auto error = check(header, file.size())) return failure(*error, FailureCause::Memory);
    std::vector<std::uint8_t> bytes;
    try {
        errno = 0;
        if (!file.readAll(bytes))
            return Bytes::failure("cannot read " + path.string() + ": " +
                                  (errno ? std::strerror(errno) : "the file changed"));
    } catch (const std::bad_alloc&) {
        return failure("not enough memory to read the file", FailureCause::Memory);
    }
    return Bytes::success(std::move(bytes));
}

}  // namespace

Result<std::vector<std::uint8_t>> readPictureFile(const std::filesystem::path& path) {
    return readChecked(path, [](const PictureHeader& header, std::uint64_t fileBytes) {
        return memoryBudgetError(header.width, header.height, fileBytes);
    });
}

DecodeResult decodeImageFile(const std::filesystem::path& path) {
    auto bytes = readChecked(path, [](const PictureHeader& header, std::uint64_t fileBytes) {
        return memoryBudgetError(header.width, header.height, memoryToShow(header, fileBytes));
    });
    if (!bytes) return DecodeResult::failure(bytes.error(), bytes.cause());
    DecodeResult result = decodeImage(bytes.value());
    if (!result)
        return DecodeResult::failure(path.string() + ": " + result.error(), result.cause());
    return result;
}

}  // namespace platform::graphics
