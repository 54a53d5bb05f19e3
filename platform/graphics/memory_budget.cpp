#include "platform/graphics/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>

#include "platform/graphics/pixel_memory.h"

namespace platform::graphics {

namespace {

std::atomic<std::uint64_t> chosenBudget{0};

// Where the machine does not say how much memory it has.
constexpr std::uint64_t kAssumedPhysicalMemory = 2ull << 30;

std::uint64_t physicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return kAssumedPhysicalMemory;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

// What the limits count: the whole address space, and the private data (with the stack).
struct Usage {
    std::uint64_t addressSpace = 0;
    std::uint64_t data = 0;
};

Usage currentUsage() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t size = 0, resident = 0, shared = 0, text = 0, library = 0, data = 0;
    statm >> size >> resident >> shared >> text >> library >> data;
    const auto pageSize = static_cast<std::uint64_t>(std::max(1L, sysconf(_SC_PAGESIZE)));
    return {size * pageSize, data * pageSize};
}

// Three quarters of what the limit leaves: threads that picture work starts take address
// space of their own (stacks, allocator arenas) beside the pictures.
std::uint64_t leftUnder(int resource, std::uint64_t used, std::uint64_t budget) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return budget;
    const std::uint64_t cap = limit.rlim_cur;
    const std::uint64_t left = cap > used ? (cap - used) / 4 * 3 : 0;
    return std::min(budget, left);
}

std::string megabytes(std::uint64_t bytes, bool roundUp) {
    constexpr std::uint64_t kMegabyte = 1u << 20;
    return std::to_string(roundUp ? (bytes + kMegabyte - 1) / kMegabyte : bytes / kMegabyte);
}

}  // namespace

void setMemoryBudget(std::uint64_t bytes) {
    chosenBudget.store(bytes);
}

std::uint64_t memoryBudget() {
    if (const std::uint64_t chosen = chosenBudget.load()) return chosen;
    std::uint64_t budget = physicalMemory() / 2;
    const Usage used = currentUsage();
    const std::uint64_t reusable = PixelMemory::cachedBytes();
    budget =
        leftUnder(RLIMIT_AS, used.addressSpace - std::min(reusable, used.addressSpace), budget);
    budget = leftUnder(RLIMIT_DATA, used.data - std::min(reusable, used.data), budget);
    return budget;
}

std::optional<std::string> memoryBudgetError(std::int64_t width, std::int64_t height,
                                             std::uint64_t bytes) {
    const std::uint64_t budget = memoryBudget();
    if (bytes <= budget) return std::nullopt;
    return "picture of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels needs about " + megabytes(bytes, true) +
           " MB, more than the memory budget of " + megabytes(budget, false) + " MB";
}

}  // namespace platform::graphics
