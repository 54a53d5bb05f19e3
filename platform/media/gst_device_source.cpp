#include "platform/media/gst_device_source.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace platform::media::gst {

namespace {

struct StructureFree {
    void operator()(GstStructure* structure) const { gst_structure_free(structure); }
};

std::vector<DevicePtr> videoSources() {
    DeviceMonitorPtr monitor{gst_device_monitor_new()};
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    GList* found = gst_device_monitor_get_devices(monitor.get());
    std::vector<DevicePtr> devices;
    for (GList* item = found; item; item = item->next)
        devices.emplace_back(static_cast<GstDevice*>(item->data));
    g_list_free(found);
    return devices;
}

std::string devicePath(GstDevice* device) {
    std::unique_ptr<GstStructure, StructureFree> properties{gst_device_get_properties(device)};
    if (!properties) return {};
    for (const char* key : {"api.v4l2.path", "device.path"})
        if (const char* path = gst_structure_get_string(properties.get(), key)) return path;
    return {};
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

struct Resolution {
    int width = 0;
    int height = 0;
    std::int64_t area() const { return std::int64_t{width} * height; }
};

Resolution largestResolution(const GstStructure* structure) {
    return {largestValue(gst_structure_get_value(structure, "width")),
            largestValue(gst_structure_get_value(structure, "height"))};
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
    auto devices = videoSources();
    if (devices.empty()) return nullptr;
    return std::move(devices.front());
}

DevicePtr videoSourceAtPath(const std::string& path) {
    for (auto& device : videoSources())
        if (devicePath(device.get()) == path) return std::move(device);
    return nullptr;
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
    auto caps = largestSizeCaps(deviceCaps.get());
    if (gst_caps_is_empty(caps.get())) return source;
    return restrictedTo(std::move(source), std::move(caps));
}

CapsPtr largestSizeCaps(const GstCaps* deviceCaps) {
    Resolution best;
    for (guint i = 0; i < gst_caps_get_size(deviceCaps); ++i) {
        const auto size = largestResolution(gst_caps_get_structure(deviceCaps, i));
        if (size.area() > best.area()) best = size;
    }
    CapsPtr caps{gst_caps_new_empty()};
    for (guint i = 0; i < gst_caps_get_size(deviceCaps); ++i) {
        const GstStructure* structure = gst_caps_get_structure(deviceCaps, i);
        if (best.area() == 0 || largestResolution(structure).area() != best.area()) continue;
        GstStructure* copy = gst_structure_copy(structure);
        gst_structure_set(copy, "width", G_TYPE_INT, best.width, "height", G_TYPE_INT, best.height,
                          nullptr);
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
