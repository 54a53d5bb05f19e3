#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

// The PNG container: the signature, chunks with their checksums, and the header's fields.
namespace platform::graphics::png {

enum ColorType : std::uint8_t {
    kGrey = 0,
    kRgb = 2,
    kPalette = 3,
    kGreyAlpha = 4,
    kRgbAlpha = 6,
};

struct Header {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t bitDepth = 0;
    std::uint8_t colorType = 0;
    std::uint8_t compression = 0;
    std::uint8_t filterMethod = 0;
    std::uint8_t interlace = 0;
};

// What a file holds, as far as decoding its pixels goes. The image data stays in the
// caller's bytes: one span per IDAT chunk, in order.
struct Chunks {
    Header header;
    std::vector<std::span<const std::uint8_t>> imageData;
    std::size_t imageDataSize = 0;
    bool hasTransparency = false;  // a tRNS chunk: a colour key or palette alpha
    // Anything a plain reading would not expect (an unknown critical chunk, image data in
    // pieces apart): left to libpng, which knows the rules for each case.
    bool unusual = false;
};

bool hasSignature(std::span<const std::uint8_t> bytes);

// Walks the chunks from the header to IEND. The checksums of the critical chunks are
// checked; ancillary chunks are skipped unread, as libpng skips a damaged one, since none of
// them changes the pixels we make. An error message if the file is cut short or damaged.
std::variant<Chunks, std::string> readChunks(std::span<const std::uint8_t> bytes);

// Appends the signature and an IHDR chunk.
void appendSignatureAndHeader(std::vector<std::uint8_t>& out, const Header& header);
// Appends a whole chunk.
void appendChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
                 std::span<const std::uint8_t> data);
// Frames `size` bytes already in place at out[at + 8, at + 8 + size) as a chunk: its length
// and type before, its checksum after (which must have room for it).
void frameChunkInPlace(std::uint8_t* at, const char (&type)[5], std::size_t size);

inline constexpr std::size_t kMaxChunkLength = 0x7FFFFFFF;

}  // namespace platform::graphics::png
