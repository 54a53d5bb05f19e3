#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::graphics {

// Memory for pixels. Large blocks are backed by huge pages and kept for reuse after their
// picture is released: touching fresh memory costs a page fault per 4 KiB on this kind of
// machine (about 2.7 ms per megabyte), more than most pixel operations cost themselves.
class PixelMemory {
  public:
    // Contents are unspecified; small blocks come straight from the heap.
    static PixelMemory allocate(std::size_t size);

    PixelMemory() = default;
    PixelMemory(PixelMemory&& other) noexcept;
    PixelMemory& operator=(PixelMemory&& other) noexcept;
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;
    ~PixelMemory();

    std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

    // Releases every block kept for reuse (for memory warnings).
    static void releaseCached();
    static std::size_t cachedBytes();

  private:
    PixelMemory(std::uint8_t* data, std::size_t size, std::size_t capacity)
        : data_(data), size_(size), capacity_(capacity) {}
    void release();

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;  // 0: a heap block, else a pooled mapping of this length
};

}  // namespace platform::graphics
