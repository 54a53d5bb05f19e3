#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::graphics {

// Bytes read at any offset, from memory or from a file: what a picture's header is read from
// before the whole file is, if ever.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Fills `out` with the bytes at `offset`; false when they are not all there.
    virtual bool read(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
    // Where `value` occurs first at or after `from`.
    std::optional<std::uint64_t> find(std::uint64_t from, std::uint8_t value) const;
};

class MemoryBytes : public ByteSource {
  public:
    explicit MemoryBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, std::span<std::uint8_t> out) const override;

  private:
    std::span<const std::uint8_t> bytes_;
};

// A regular file, opened for reading; its header is read through a small window, so that
// walking many small segments costs few system calls.
class FileBytes : public ByteSource {
  public:
    explicit FileBytes(const std::filesystem::path& path);
    ~FileBytes() override;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // Empty when the file is open; else why it is not.
    const std::string& error() const { return error_; }
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, std::span<std::uint8_t> out) const override;
    // The whole file; false (with errno set) when it cannot be read whole.
    bool readAll(std::vector<std::uint8_t>& out) const;

  private:
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;

    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::string error_;
    mutable std::vector<std::uint8_t> window_;
    mutable std::uint64_t windowStart_ = 0;
};

}  // namespace platform::graphics
