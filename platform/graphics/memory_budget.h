#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform::graphics {

// Picture work (decoding, and the copies a picture goes through on its way to the screen or
// the album) works out what it will hold at its peak before it allocates, and refuses a
// picture that needs more than this budget with one clear message: an allocation failing
// part-way through, or the system killing the process for the memory it took, is never how a
// user learns that a picture is too large for the machine.

// Sets the budget in bytes; 0 goes back to deriving it from the machine. Any thread.
void setMemoryBudget(std::uint64_t bytes);

// The budget set, or else half the physical memory, and no more than three quarters of what an
// address-space (RLIMIT_AS) or data (RLIMIT_DATA) limit leaves the process at the moment of
// asking (memory that is kept for reuse counting as left). Any thread.
std::uint64_t memoryBudget();

// Why work on a picture of width × height pixels that needs `bytes` at its peak is refused:
// "picture of W x H pixels needs about N MB, more than the memory budget of M MB"; nothing when
// it fits.
std::optional<std::string> memoryBudgetError(std::int64_t width, std::int64_t height,
                                             std::uint64_t bytes);

// The 32-bit pixels of a picture of width × height.
inline std::uint64_t pixelBytes(std::int64_t width, std::int64_t height) {
    return 4 * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
}

}  // namespace platform::graphics
