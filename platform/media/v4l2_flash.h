#pragma once

#include <string>

namespace platform::media {

// Whether the V4L2 device at `path` offers a flash or torch control. False for a device
// that cannot be opened.
bool v4l2DeviceOffersFlash(const std::string& path);

}  // namespace platform::media
