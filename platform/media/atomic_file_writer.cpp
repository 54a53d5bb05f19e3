#include "platform/media/atomic_file_writer.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <fstream>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

namespace platform::media {

namespace {

struct Failure {
    std::string message;
    int number = 0;
};

Failure describe(const std::string& what, const std::filesystem::path& path, int error) {
    return {what + " " + path.string() + ": " + std::strerror(error), error};
}

WrittenFile failed(Failure failure) {
    return {{}, std::move(failure.message), failure.number};
}

// Creating a temporary file and locking it happen under this lock, and recovery tests a lock
// under it too: so recovery in this process never finds one of our files in the instant
// between its creation and its lock.
std::mutex& temporaryFilesMutex() {
    static std::mutex mutex;
    return mutex;
}

// A writer in another process creates its file an instant before it locks it; an empty file
// younger than this may be one.
constexpr std::time_t kYoungestAbandonedSeconds = 10;
// Far beyond any photograph; a larger file under a temporary name is not read to be checked.
constexpr off_t kLargestRecoverable = off_t{512} << 20;
constexpr std::size_t kTemporaryTagLength = 6;  // mkstemp's XXXXXX

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Writes everything and syncs it; the failure, if any.
std::optional<Failure> writeAndSync(int fd, const std::filesystem::path& path,
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

// Moves `from` to `target` unless a file of that name exists. Some file systems lack
// RENAME_NOREPLACE; a hard link refuses an existing name just the same.
int renameWithoutReplacing(const std::string& from, const std::filesystem::path& target) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL) return errno;
    if (::link(from.c_str(), target.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

// Gives the file its name in the folder, or the first free `<stem>_N<suffix>`.
WrittenFile giveFreeName(const std::string& file, const std::filesystem::path& folder,
                         const std::string& stem, const std::string& suffix) {
    for (int attempt = 0;; ++attempt) {
        const std::filesystem::path target = candidate(folder, stem, suffix, attempt);
        const int error = renameWithoutReplacing(file, target);
        if (error == 0) {
            syncFolder(folder);
            return {target, {}};
        }
        if (error != EEXIST) return failed(describe("cannot name", target, error));
    }
}

std::optional<Failure> makeFolders(const std::filesystem::path& folder, FileAccess access) {
    std::error_code ec;
    if (folder.empty() || std::filesystem::is_directory(folder, ec)) return std::nullopt;
    if (const auto parent = folder.parent_path(); parent != folder)
        if (auto error = makeFolders(parent, access)) return error;
    const mode_t mode = access == FileAccess::OwnerOnly ? 0700 : 0777;  // less the umask
    if (::mkdir(folder.c_str(), mode) != 0 && errno != EEXIST)
        return describe("cannot create", folder, errno);
    if (!std::filesystem::is_directory(folder, ec))
        return Failure{folder.string() + " is not a folder", ENOTDIR};
    return std::nullopt;
}

// The name a temporary file `.<name>.XXXXXX` was to take; empty for any other file.
std::string intendedName(const std::string& file) {
    if (file.size() < kTemporaryTagLength + 3 || file.front() != '.') return {};
    const std::size_t dot = file.size() - kTemporaryTagLength - 1;
    if (file[dot] != '.') return {};
    for (std::size_t i = dot + 1; i < file.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(file[i]))) return {};
    std::string name = file.substr(1, dot - 1);
    if (name.empty() || name.front() == '.') return {};
    return name;
}

bool isRecent(const struct stat& status) {
    return std::time(nullptr) - status.st_mtim.tv_sec < kYoungestAbandonedSeconds;
}

std::optional<std::vector<std::uint8_t>> readAll(int fd, off_t size) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

// Takes the file's lock if no writer holds it and it still lies under that name.
bool holdAbandoned(int fd, const std::filesystem::path& temporary, struct stat& held) {
    {
        std::lock_guard lock(temporaryFilesMutex());
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
    }
    struct stat named {};
    // Its writer may have named or removed it between our open and our lock.
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) return false;
    if (::stat(temporary.c_str(), &named) != 0) return false;
    return named.st_ino == held.st_ino && named.st_dev == held.st_dev;
}

std::optional<RecoveredFile> recoverOne(
    const std::filesystem::path& temporary, const std::string& name, const std::string& suffix,
    const std::function<bool(std::span<const std::uint8_t>)>& isComplete) {
    const FileDescriptor fd(
        ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat held {};
    if (fd.get() < 0 || !holdAbandoned(fd.get(), temporary, held)) return std::nullopt;
    if (held.st_size == 0 && isRecent(held)) return std::nullopt;
    RecoveredFile result{temporary, {}, false, {}};
    if (held.st_size > kLargestRecoverable) {
        result.error = "too large to be one of our files";
        return result;
    }
    const auto bytes = readAll(fd.get(), held.st_size);
    if (bytes && isComplete(*bytes)) {
        // The data outlived its killed writer in memory; it reaches the disk before it is named.
        ::fsync(fd.get());
        const std::string stem = name.substr(0, name.size() - suffix.size());
        const WrittenFile named =
            giveFreeName(temporary.string(), temporary.parent_path(), stem, suffix);
        result.path = named.path;
        result.error = named.error;
        return result;
    }
    if (::unlink(temporary.c_str()) == 0)
        result.removed = true;
    else
        result.error = describe("cannot remove", temporary, errno).message;
    return result;
}

// Photographs are ordinary files: readable as the user's umask allows, not private to us
// as a temporary file starts out.
mode_t ordinaryFileMode() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0)
            return 0666 & ~static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 0644;
}

}  // namespace

std::optional<std::string> createFolders(const std::filesystem::path& folder, FileAccess access) {
    if (auto failure = makeFolders(folder, access)) return std::move(failure->message);
    return std::nullopt;
}

WrittenFile writeNewFileAtomically(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& suffix, std::span<const std::uint8_t> bytes,
                                   FileAccess access) {
    if (auto failure = makeFolders(folder, access))
        return {{},
                "cannot create " + folder.string() + " (" + failure->message + ")",
                failure->number};

    std::string temporary = (folder / ("." + stem + suffix + ".XXXXXX")).string();
    int created = -1;
    {
        std::lock_guard lock(temporaryFilesMutex());
        created = ::mkostemp(temporary.data(), O_CLOEXEC);
        // A file this new has no other holder: the lock is ours at once.
        if (created >= 0) ::flock(created, LOCK_EX);
    }
    if (created < 0) return failed(describe("cannot create a file in", folder, errno));
    const FileDescriptor fd(created);
    // mkostemp's file is the owner's alone, which a private file keeps.
    if (access == FileAccess::Ordinary) ::fchmod(fd.get(), ordinaryFileMode());
    WrittenFile result;
    if (auto failure = writeAndSync(fd.get(), temporary, bytes))
        result = failed(std::move(*failure));
    else
        result = giveFreeName(temporary, folder, stem, suffix);
    // Removed while still locked, so that recovery never takes it for an abandoned file. Once
    // synced, the file's data no longer depends on how its descriptor closes.
    if (!result.error.empty()) ::unlink(temporary.c_str());
    return result;
}

std::vector<RecoveredFile> recoverAbandonedFiles(
    const std::filesystem::path& folder, const std::string& suffix,
    const std::function<bool(std::span<const std::uint8_t>)>& isComplete) {
    // Collected first: renaming while the folder is read could show a file twice.
    std::vector<std::pair<std::filesystem::path, std::string>> candidates;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = intendedName(entry.path().filename().string());
        if (name.size() > suffix.size() && name.ends_with(suffix))
            candidates.emplace_back(entry.path(), std::move(name));
    }
    std::vector<RecoveredFile> recovered;
    for (const auto& [temporary, name] : candidates)
        if (auto done = recoverOne(temporary, name, suffix, isComplete))
            recovered.push_back(std::move(*done));
    return recovered;
}

}  // namespace platform::media
