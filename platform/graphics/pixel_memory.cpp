#include "platform/graphics/pixel_memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace platform::graphics {

namespace {

// Below this a block is an ordinary heap allocation, which the allocator already reuses.
constexpr std::size_t kPooledMinimum = 1u << 20;
constexpr std::size_t kHugePage = 2u << 20;
// Enough for the working set of one 12-megapixel picture on its way through the app.
constexpr std::size_t kCacheLimit = 256u << 20;

struct Block {
    std::uint8_t* data;
    std::size_t capacity;
};

class Pool {
  public:
    Block take(std::size_t size) {
        {
            std::lock_guard lock(mutex_);
            // The smallest cached block that fits, but not one wastefully larger.
            auto best = cached_.end();
            for (auto it = cached_.begin(); it != cached_.end(); ++it) {
                if (it->capacity < size || it->capacity > 2 * size) continue;
                if (best == cached_.end() || it->capacity < best->capacity) best = it;
            }
            if (best != cached_.end()) {
                const Block block = *best;
                cachedBytes_ -= block.capacity;
                cached_.erase(best);
                return block;
            }
        }
        if (Block block = map(size); block.data) return block;
        // Blocks kept for reuse may be what stands in the way (an address-space limit).
        clear();
        const Block block = map(size);
        if (!block.data) throw std::bad_alloc();
        return block;
    }

    void give(Block block) {
        std::vector<Block> evicted;
        {
            std::lock_guard lock(mutex_);
            if (block.capacity > kCacheLimit) {
                evicted.push_back(block);
            } else {
                // Oldest first out, so the blocks of the current workload stay.
                while (cachedBytes_ + block.capacity > kCacheLimit) {
                    evicted.push_back(cached_.front());
                    cachedBytes_ -= cached_.front().capacity;
                    cached_.erase(cached_.begin());
                }
                cached_.push_back(block);
                cachedBytes_ += block.capacity;
            }
        }
        for (const Block& b : evicted) munmap(b.data, b.capacity);
    }

    void clear() {
        std::vector<Block> all;
        {
            std::lock_guard lock(mutex_);
            all.swap(cached_);
            cachedBytes_ = 0;
        }
        for (const Block& b : all) munmap(b.data, b.capacity);
    }

    std::size_t cachedBytes() {
        std::lock_guard lock(mutex_);
        return cachedBytes_;
    }

  private:
    static Block map(std::size_t size) {
        const std::size_t capacity = (size + kHugePage - 1) / kHugePage * kHugePage;
        void* p =
            mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return {nullptr, 0};
        madvise(p, capacity, MADV_HUGEPAGE);  // advisory: fine if the kernel declines
        return {static_cast<std::uint8_t*>(p), capacity};
    }

    std::mutex mutex_;
    std::vector<Block> cached_;
    std::size_t cachedBytes_ = 0;
};

Pool& pool() {
    static Pool* instance = new Pool;  // outlives every picture, even static ones
    return *instance;
}

}  // namespace

PixelMemory PixelMemory::allocate(std::size_t size) {
    if (size == 0) return {};
    if (size < kPooledMinimum) {
        auto* data = static_cast<std::uint8_t*>(std::malloc(size));
        if (!data) {
            pool().clear();
            data = static_cast<std::uint8_t*>(std::malloc(size));
        }
        if (!data) throw std::bad_alloc();
        return {data, size, 0};
    }
    const Block block = pool().take(size);
    return {block.data, size, block.capacity};
}

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

PixelMemory::~PixelMemory() {
    release();
}

void PixelMemory::release() {
    if (!data_) return;
    if (capacity_ == 0) {
        std::free(data_);
    } else {
        pool().give({data_, capacity_});
    }
    data_ = nullptr;
    size_ = capacity_ = 0;
}

void PixelMemory::releaseCached() {
    pool().clear();
}

std::size_t PixelMemory::cachedBytes() {
    return pool().cachedBytes();
}

}  // namespace platform::graphics
