#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform::graphics {

// Decoders refuse anything larger before allocating for it, so that a hostile header cannot
// make the application allocate without bound.
inline constexpr std::int64_t kMaxPictureSide = 30000;
inline constexpr std::int64_t kMaxPicturePixels = 100'000'000;

// Why a picture of this size is refused, or nothing if it is acceptable.
std::optional<std::string> pictureSizeError(std::int64_t width, std::int64_t height);

}  // namespace platform::graphics
