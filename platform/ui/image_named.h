#pragma once

#include <string_view>

#include "platform/graphics/image.h"

namespace platform::ui {

// The scale of the screen's pixels per point (1 to 4, fractions included); pictures are
// chosen for it.
inline constexpr float kLeastScreenScale = 1.0f;
inline constexpr float kGreatestScreenScale = 4.0f;
float screenScale();
void setScreenScale(float scale);

// A picture of the application's resources by file name ("zoom.png"), cached. At any scale
// above 1, the largest variant "zoom@2x.png" is used where it exists. A missing or unreadable
// picture is logged once, naming the file, and gives null.
graphics::ImagePtr imageNamed(std::string_view name);

}  // namespace platform::ui
