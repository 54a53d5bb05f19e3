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

// Photographs are the user's ordinary files; messages say more about their writer and are
// kept private, as a mail client keeps them.
enum class FileAccess { Ordinary, OwnerOnly };

// Creates the folder and any missing folder above it; with OwnerOnly, those it creates are
// the owner's alone. The error, if any.
std::optional<std::string> createFolders(const std::filesystem::path& folder, FileAccess access);

// Writes bytes as a new file `<stem><suffix>` in the folder (creating the folder), or
// `<stem>_1<suffix>`, `<stem>_2<suffix>`, ... if that name is taken: an existing file is never
// replaced. The bytes go to a hidden temporary file in the same folder, are flushed to disk,
// and only then take the final name, so a file under that name is always complete.
WrittenFile writeNewFileAtomically(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& suffix, std::span<const std::uint8_t> bytes,
                                   FileAccess access = FileAccess::Ordinary);

}  // namespace platform::media
