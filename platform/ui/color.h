#pragma once

#include "platform/graphics/color.h"

namespace platform::ui {

// Views and the drawing layer share one colour type.
using graphics::Color;

}  // namespace platform::ui
