#include "platform/graphics/byte_source.h"

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform::graphics {

namespace {
constexpr std::size_t kWindow = 64 * 1024;
}  // namespace

std::optional<std::uint64_t> ByteSource::find(std::uint64_t from, std::uint8_t value) const {
    std::uint8_t chunk[4096];
    while (from < size()) {
        const auto length =
            static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, size() - from));
        if (!read(from, {chunk, length})) return std::nullopt;
        if (const void* hit = std::memchr(chunk, value, length))
            return from + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - chunk);
        from += length;
    }
    return std::nullopt;
}

bool MemoryBytes::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (offset > bytes_.size() || bytes_.size() - offset < out.size()) return false;
    if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return true;
}

FileBytes::FileBytes(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return;
    }
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
        error_ = std::strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        error_ = S_ISDIR(status.st_mode) ? "is a folder" : "not a regular file";
    } else {
        size_ = static_cast<std::uint64_t>(status.st_size);
    }
}

FileBytes::~FileBytes() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileBytes::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n =
            ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // an error, or the file shrank under us
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool FileBytes::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (!error_.empty() || offset > size_ || size_ - offset < out.size()) return false;
    if (out.size() > kWindow) return readAt(offset, out);
    const bool inWindow = offset >= windowStart_ && offset - windowStart_ <= window_.size() &&
                          window_.size() - (offset - windowStart_) >= out.size();
    if (!inWindow) {
        const auto length =
            static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size_ - offset));
        window_.resize(length);
        windowStart_ = offset;
        if (!readAt(offset, window_)) {
            window_.clear();
            return false;
        }
    }
    if (!out.empty()) std::memcpy(out.data(), window_.data() + (offset - windowStart_), out.size());
    return true;
}

bool FileBytes::readAll(std::vector<std::uint8_t>& out) const {
    if (!error_.empty()) return false;
    out.resize(static_cast<std::size_t>(size_));
    return readAt(0, out);
}

}  // namespace platform::graphics
