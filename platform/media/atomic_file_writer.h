#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace platform::media {

struct WrittenFile {
    std::filesystem::path path;  // set when written
    std::string error;           // set when not
};

// Writes bytes as a new file `<stem><suffix>` in the folder (creating the folder), or
// `<stem>_1<suffix>`, `<stem>_2<suffix>`, ... if that name is taken: an existing file is never
// replaced. The bytes go to a hidden temporary file in the same folder, are flushed to disk,
// and only then take the final name, so a file under that name is always complete.
WrittenFile writeNewFileAtomically(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& suffix, std::span<const std::uint8_t> bytes);

}  // namespace platform::media
