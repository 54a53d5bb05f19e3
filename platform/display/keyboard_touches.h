#pragma once

#include <cstddef>
#include <optional>

#include "platform/foundation/geometry.h"
#include "platform/ui/window.h"

namespace platform::display {

// Where a key stands in for a finger, found in what the window shows, so that the keyboard
// needs to know nothing of the screens built on the framework.

// The centre of the topmost live picture's part above the topmost tab bar.
std::optional<foundation::Point> livePictureTouchPoint(const ui::Window& window);

// The centre of the item at `index` of the topmost tab bar.
std::optional<foundation::Point> tabItemTouchPoint(const ui::Window& window, std::size_t index);

}  // namespace platform::display
