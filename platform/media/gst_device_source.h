#pragma once

#include <string>

#include "platform/media/gst_ptr.h"

namespace platform::media::gst {

// Camera devices as GStreamer's device monitor announces them (class Video/Source).
DevicePtr firstVideoSource();
DevicePtr videoSourceAtPath(const std::string& path);
// "Display name (/dev/videoN)".
std::string describeDevice(GstDevice* device);

// The device's source element, asking for its largest picture size. Null if the device
// cannot make one.
ElementPtr makeDeviceSource(GstDevice* device);
// The device's formats at its largest picture size only, so that negotiation cannot settle
// on a smaller one; empty if the caps name no size.
CapsPtr largestSizeCaps(const GstCaps* deviceCaps);

// A V4L2 source for a path the monitor does not know. Null if the V4L2 plugin is missing.
ElementPtr makeV4l2Source(const std::string& path);

}  // namespace platform::media::gst
