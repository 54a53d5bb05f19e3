#pragma once

#include <string_view>

#include "platform/graphics/image.h"

namespace platform::ui {

// The scale of the screen's pixels per point (1 or 2); pictures are chosen for it.
int screenScale();
void setScreenScale(int scale);

// A picture of the application's resources by file name ("zoom.png"), cached. At scale 2,
// "zoom@2x.png" is used where it exists. A missing or unreadable picture is logged once,
// naming the file, and gives null.
graphics::ImagePtr imageNamed(std::string_view name);

}  // namespace platform::ui
