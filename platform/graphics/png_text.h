#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace platform::graphics {

using PngTexts = std::vector<std::pair<std::string, std::string>>;

// The PNG file with a tEXt chunk for each (keyword, text) inserted right after its header
// chunk, in the order given. Keywords are 1 to 79 Latin-1 characters and neither part may
// hold a NUL: anything else, or bytes that do not start with a PNG signature and header
// chunk, is a caller's mistake and throws std::invalid_argument.
std::vector<std::uint8_t> withPngText(std::span<const std::uint8_t> png, const PngTexts& texts);

// The tEXt chunks of a PNG file by keyword (the first of a repeated keyword wins). Nothing when
// the bytes are not a whole PNG file: no signature, a chunk running past the end, a chunk
// whose checksum is wrong, or no end chunk.
std::optional<std::map<std::string, std::string>> readPngText(std::span<const std::uint8_t> png);

}  // namespace platform::graphics
