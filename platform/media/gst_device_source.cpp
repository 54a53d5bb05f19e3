#include "platform/media/gst_device_source.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

namespace platform::media::gst {

namespace {

struct StructureFree {
    void operator()(GstStructure* structure) const { gst_structure_free(structure); }
};
using StructurePtr = std::unique_ptr<GstStructure, StructureFree>;

StructurePtr propertiesOf(GstDevice* device) {
    return StructurePtr(gst_device_get_properties(device));
}

std::string keyOf(GstDevice* device) {
    const auto properties = propertiesOf(device);
    StringPtr name{gst_device_get_display_name(device)};
    return cameraKey(properties.get(), G_OBJECT_TYPE_NAME(device), name ? name.get() : "");
}

// A hidden provider's devices are announced by another one too (libcamera's and PipeWire's
// providers hide the V4L2 one); `showAll` lists them anyway.
std::vector<DevicePtr> videoSources(bool showAll) {
    DeviceMonitorPtr monitor{gst_device_monitor_new()};
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    gst_device_monitor_set_show_all_devices(monitor.get(), showAll);
    GList* found = gst_device_monitor_get_devices(monitor.get());
    std::vector<DevicePtr> devices;
    std::set<std::string> seen;
    for (GList* item = found; item; item = item->next) {
        DevicePtr device{static_cast<GstDevice*>(item->data)};
        const auto key = keyOf(device.get());
        // The provider of the higher rank comes first and is kept: PipeWire, which shares a
        // camera with other programs, before libcamera, which takes it for itself.
        if (showAll || key.empty() || seen.insert(key).second) devices.push_back(std::move(device));
    }
    g_list_free(found);
    return devices;
}

int largestValue(const GValue* value) {
    if (!value) return 0;
    if (G_VALUE_HOLDS_INT(value)) return g_value_get_int(value);
    if (GST_VALUE_HOLDS_INT_RANGE(value)) return gst_value_get_int_range_max(value);
    if (GST_VALUE_HOLDS_LIST(value)) {
        int largest = 0;
        for (guint i = 0; i < gst_value_list_get_size(value); ++i)
            largest = std::max(largest, largestValue(gst_value_list_get_value(value, i)));
        return largest;
    }
    return 0;
}

double rateOf(const GValue* fraction) {
    const int denominator = gst_value_get_fraction_denominator(fraction);
    return denominator > 0 ? double(gst_value_get_fraction_numerator(fraction)) / denominator : 0;
}

// The fastest frame rate a format offers: a fixed fraction, the top of a list of them, or
// the top of a range (null for a range: it cannot be fixed to one value).
struct Rate {
    double perSecond = -1;  // negative: the format does not say
    const GValue* fixed = nullptr;
};

Rate fastestRate(const GValue* value) {
    if (!value) return {};
    if (GST_VALUE_HOLDS_FRACTION(value)) return {rateOf(value), value};
    if (GST_VALUE_HOLDS_FRACTION_RANGE(value))
        return {rateOf(gst_value_get_fraction_range_max(value)), nullptr};
    if (GST_VALUE_HOLDS_LIST(value)) {
        Rate fastest{0, nullptr};
        for (guint i = 0; i < gst_value_list_get_size(value); ++i) {
            const auto rate = fastestRate(gst_value_list_get_value(value, i));
            if (rate.perSecond > fastest.perSecond) fastest = rate;
        }
        return fastest;
    }
    return {};
}

struct Mode {
    const GstStructure* structure;
    int width;
    int height;
    Rate rate;
    std::int64_t area() const { return std::int64_t{width} * height; }
    bool isLive() const { return rate.perSecond < 0 || rate.perSecond >= kLiveFrameRate; }
    bool isRaw() const { return gst_structure_has_name(structure, "video/x-raw"); }
};

std::vector<Mode> modesOf(const GstCaps* caps) {
    std::vector<Mode> modes;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* structure = gst_caps_get_structure(caps, i);
        Mode mode{structure, largestValue(gst_structure_get_value(structure, "width")),
                  largestValue(gst_structure_get_value(structure, "height")),
                  fastestRate(gst_structure_get_value(structure, "framerate"))};
        if (mode.area() > 0) modes.push_back(mode);
    }
    return modes;
}

// Of `modes`, those that `better` does not rank below any other.
template <class Better>
std::vector<Mode> best(const std::vector<Mode>& modes, Better better) {
    std::vector<Mode> kept;
    for (const Mode& mode : modes) {
        if (!kept.empty() && better(kept.front(), mode)) continue;
        if (!kept.empty() && better(mode, kept.front())) kept.clear();
        kept.push_back(mode);
    }
    return kept;
}

ElementPtr restrictedTo(ElementPtr source, CapsPtr caps) {
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    if (!filter) return source;
    g_object_set(filter, "caps", caps.get(), nullptr);
    auto bin = adoptFloating(gst_bin_new(nullptr));
    gst_bin_add_many(GST_BIN(bin.get()), source.get(), filter, nullptr);
    gst_element_link(source.get(), filter);
    PadPtr output{gst_element_get_static_pad(filter, "src")};
    gst_element_add_pad(bin.get(), gst_ghost_pad_new("src", output.get()));
    return bin;
}

}  // namespace

DevicePtr firstVideoSource() {
    auto devices = videoSources(false);
    if (devices.empty()) return nullptr;
    return std::move(devices.front());
}

// V4L2's own device before another provider's node over the same path: a path names
// V4L2's device.
DevicePtr videoSourceAtPath(const std::string& path) {
    DevicePtr found;
    for (auto& device : videoSources(true)) {
        if (devicePath(device.get()) != path) continue;
        if (isV4l2Device(device.get())) return std::move(device);
        if (!found) found = std::move(device);
    }
    return found;
}

bool isV4l2Device(GstDevice* device) {
    return std::string_view(G_OBJECT_TYPE_NAME(device)) == "GstV4l2Device";
}

std::string devicePath(GstDevice* device) {
    const auto properties = propertiesOf(device);
    if (!properties) return {};
    for (const char* key : {"api.v4l2.path", "device.path"})
        if (const char* path = gst_structure_get_string(properties.get(), key)) return path;
    return {};
}

std::string cameraKey(const GstStructure* properties, std::string_view deviceType,
                      std::string_view displayName) {
    if (properties) {
        for (const char* key : {"api.v4l2.path", "device.path"})
            if (const char* path = gst_structure_get_string(properties, key))
                return std::string("v4l2:") + path;
        if (const char* id = gst_structure_get_string(properties, "api.libcamera.path"))
            return std::string("libcamera:") + id;
    }
    // libcamera's own devices carry no properties; their name is the camera's id.
    if (deviceType == "GstLibcameraDevice" && !displayName.empty())
        return "libcamera:" + std::string(displayName);
    return {};
}

std::string describeDevice(GstDevice* device) {
    StringPtr name{gst_device_get_display_name(device)};
    const auto path = devicePath(device);
    std::string description = name ? name.get() : "camera";
    return path.empty() ? description : description + " (" + path + ")";
}

ElementPtr makeDeviceSource(GstDevice* device) {
    auto source = adoptFloating(gst_device_create_element(device, nullptr));
    CapsPtr deviceCaps{gst_device_get_caps(device)};
    if (!source || !deviceCaps) return source;
    auto caps = liveModeCaps(deviceCaps.get());
    if (gst_caps_is_empty(caps.get())) return source;
    return restrictedTo(std::move(source), std::move(caps));
}

CapsPtr liveModeCaps(const GstCaps* deviceCaps) {
    const auto modes = modesOf(deviceCaps);
    std::vector<Mode> live;
    std::copy_if(modes.begin(), modes.end(), std::back_inserter(live),
                 [](const Mode& mode) { return mode.isLive(); });
    if (live.empty())
        live = best(modes, [](const Mode& a, const Mode& b) {
            return a.rate.perSecond > b.rate.perSecond;
        });
    auto chosen = best(live, [](const Mode& a, const Mode& b) { return a.area() > b.area(); });
    std::stable_partition(chosen.begin(), chosen.end(), [](const Mode& m) { return m.isRaw(); });

    CapsPtr caps{gst_caps_new_empty()};
    for (const Mode& mode : chosen) {
        GstStructure* copy = gst_structure_copy(mode.structure);
        gst_structure_set(copy, "width", G_TYPE_INT, mode.width, "height", G_TYPE_INT, mode.height,
                          nullptr);
        if (mode.rate.fixed) gst_structure_set_value(copy, "framerate", mode.rate.fixed);
        gst_caps_append_structure(caps.get(), copy);
    }
    return caps;
}

ElementPtr makeV4l2Source(const std::string& path) {
    auto source = adoptFloating(gst_element_factory_make("v4l2src", nullptr));
    if (source) g_object_set(source.get(), "device", path.c_str(), nullptr);
    return source;
}

}  // namespace platform::media::gst
