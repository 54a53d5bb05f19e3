#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::media {

struct WrittenFile {
    std::filesystem::path path;  // set when written
    std::string error;           // set when not
    int errorNumber = 0;         // the system's error number behind `error`, where there is one
};

// Photographs are the user's ordinary files; messages say more about their writer and are
// kept private, as a mail client keeps them.
enum class FileAccess { Ordinary, OwnerOnly };

// Creates the folder and any missing folder above it; with OwnerOnly, those it creates are
// the owner's alone. The error, if any.
std::optional<std::string> createFolders(const std::filesystem::path& folder, FileAccess access);

// Writes bytes as a new file `<stem><suffix>` in the folder (creating the folder), or
// `<stem>_1<suffix>`, `<stem>_2<suffix>`, ... if that name is taken: an existing file is never
// replaced. The bytes go to a hidden temporary file `.<stem><suffix>.XXXXXX` in the same folder,
// locked (flock) while it is written, are flushed to disk, and only then take the final name, so
// a file under that name is always complete. A write that fails removes its temporary file.
WrittenFile writeNewFileAtomically(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& suffix, std::span<const std::uint8_t> bytes,
                                   FileAccess access = FileAccess::Ordinary);

// What became of a temporary file whose writer was killed before it could name it.
struct RecoveredFile {
    std::filesystem::path temporary;
    std::filesystem::path path;  // the name it now has; empty when it was removed or left
    bool removed = false;
    std::string error;  // why it could be neither named nor removed
};

// Finishes the writes of writeNewFileAtomically that a killed process left in the folder, for
// names ending in `suffix`: a temporary file whose bytes `isComplete` accepts takes its intended
// name (or a free `<stem>_N<suffix>`, never replacing a file); any other is removed. A file that
// a writer still holds, in this process or another, is left alone.
std::vector<RecoveredFile> recoverAbandonedFiles(
    const std::filesystem::path& folder, const std::string& suffix,
    const std::function<bool(std::span<const std::uint8_t>)>& isComplete);

}  // namespace platform::media
