#pragma once

#include <string>

#include "platform/graphics/image.h"
#include "platform/media/gst_ptr.h"

namespace platform::media::gst {

// The video source a camera option names, not yet started.
struct CameraChoice {
    ElementPtr source;  // one source pad delivering video; null if it could not be made
    std::string description;
    graphics::ImageOrientation orientation = graphics::ImageOrientation::Up;
    bool hasFlash = false;  // the test camera has one; devices are asked once opened
    std::string failure;    // why `source` is null
    // The failure lies in the options or the installation (an unknown camera name, a
    // pipeline that does not parse, a missing plugin): choosing again cannot help.
    bool lasting = false;
    std::string devicePath;  // the path of a V4L2 device the monitor found, if that was one
};

// `device`: auto (the first video source the device monitor finds, else the test camera),
// test, a V4L2 device path, or pipeline:DESCRIPTION.
CameraChoice chooseCamera(const std::string& device);

}  // namespace platform::media::gst
