#pragma once

#include <string>

#include "platform/media/gst_ptr.h"

namespace platform::media::gst {

// The built-in camera: a live scene of sky, ground, sun and a moving ball, stored
// 2048 × 1536 as a phone held upright stores it (the sky towards the left edge), so that
// tagged Right it shows upright. Null with `error` set if a plugin is missing.
ElementPtr makeTestCamera(std::string& error);

}  // namespace platform::media::gst
