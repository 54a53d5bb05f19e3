#include "platform/media/atomic_file_writer.h"

#include <sys/stat.h>

#include <fstream>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::media {

namespace {

std::string describe(const std::string& what, const std::filesystem::path& path, int error) {
    return what + " " + path.string() + ": " + std::strerror(error);
}

// Writes everything and syncs it; the error, if any.
std::optional<std::string> writeAndSync(int fd, const std::filesystem::path& path,
                                        std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return describe("cannot write", path, errno);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return describe("cannot flush", path, errno);
    return std::nullopt;
}

std::filesystem::path candidate(const std::filesystem::path& folder, const std::string& stem,
                                const std::string& suffix, int attempt) {
    return folder / (attempt == 0 ? stem + suffix : stem + "_" + std::to_string(attempt) + suffix);
}

void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the file itself is already safe
    ::close(fd);
}

}  // namespace

// Photographs are ordinary files: readable as the user's umask allows, not private to us
// as a temporary file starts out.
static mode_t ordinaryFileMode() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0)
            return 0666 & ~static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 0644;
}

std::optional<std::string> createFolders(const std::filesystem::path& folder, FileAccess access) {
    std::error_code ec;
    if (folder.empty() || std::filesystem::is_directory(folder, ec)) return std::nullopt;
    if (const auto parent = folder.parent_path(); parent != folder)
        if (auto error = createFolders(parent, access)) return error;
    const mode_t mode = access == FileAccess::OwnerOnly ? 0700 : 0777;  // less the umask
    if (::mkdir(folder.c_str(), mode) != 0 && errno != EEXIST)
        return describe("cannot create", folder, errno);
    if (!std::filesystem::is_directory(folder, ec)) return folder.string() + " is not a folder";
    return std::nullopt;
}

WrittenFile writeNewFileAtomically(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& suffix, std::span<const std::uint8_t> bytes,
                                   FileAccess access) {
    if (auto error = createFolders(folder, access))
        return {{}, "cannot create " + folder.string() + " (" + *error + ")"};

    std::string temporary = (folder / ("." + stem + suffix + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return {{}, describe("cannot create a file in", folder, errno)};
    // mkstemp's file is the owner's alone, which a private file keeps.
    if (access == FileAccess::Ordinary) ::fchmod(fd, ordinaryFileMode());
    std::optional<std::string> error = writeAndSync(fd, temporary, bytes);
    if (::close(fd) != 0 && !error) error = describe("cannot close", temporary, errno);
    for (int attempt = 0; !error; ++attempt) {
        const std::filesystem::path target = candidate(folder, stem, suffix, attempt);
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
            0) {
            syncFolder(folder);
            return {target, {}};
        }
        if (errno != EEXIST) error = describe("cannot name", target, errno);
    }
    ::unlink(temporary.c_str());
    return {{}, *error};
}

}  // namespace platform::media
