#pragma once

#include <string>
#include <string_view>

#include "platform/media/gst_ptr.h"

namespace platform::media::gst {

// Camera devices as GStreamer's device monitor announces them (class Video/Source): V4L2
// webcams, libcamera cameras and PipeWire's camera nodes, each physical camera once.
DevicePtr firstVideoSource();
// The device at a V4L2 path, also when another provider hides the V4L2 one.
DevicePtr videoSourceAtPath(const std::string& path);
// "Display name (/dev/videoN)".
std::string describeDevice(GstDevice* device);
// The V4L2 path of the device (also of a PipeWire node over one), or empty.
std::string devicePath(GstDevice* device);
// Whether V4L2's own provider announced it (v4l2src reads it).
bool isV4l2Device(GstDevice* device);

// What makes two announced devices the same physical camera: the V4L2 path or libcamera's
// camera id, whichever provider announces it; empty if unknown. `properties` may be null.
std::string cameraKey(const GstStructure* properties, std::string_view deviceType,
                      std::string_view displayName);

// The device's source element, asking for its live mode. Null if the device cannot make
// one.
ElementPtr makeDeviceSource(GstDevice* device);

// Frames per second a live picture needs.
inline constexpr double kLiveFrameRate = 15.0;
// The device's live mode: of the formats that reach kLiveFrameRate (or do not say), those
// at the largest picture size, fixed to that size and their fastest rate; raw video before
// compressed. Where none is that fast, the fastest formats, at their largest size. Empty if
// the caps name no size.
CapsPtr liveModeCaps(const GstCaps* deviceCaps);

// A V4L2 source for a path the monitor does not know. Null if the V4L2 plugin is missing.
ElementPtr makeV4l2Source(const std::string& path);

}  // namespace platform::media::gst
