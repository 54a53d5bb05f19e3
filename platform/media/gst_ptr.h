#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>

namespace platform::media::gst {

// Owning pointers for the GStreamer and GLib objects the camera keeps.
struct ObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct SampleUnref {
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
};
struct CapsUnref {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};

using ElementPtr = std::unique_ptr<GstElement, ObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, ObjectUnref>;
using PadPtr = std::unique_ptr<GstPad, ObjectUnref>;
using DevicePtr = std::unique_ptr<GstDevice, ObjectUnref>;
using DeviceMonitorPtr = std::unique_ptr<GstDeviceMonitor, ObjectUnref>;
using SamplePtr = std::unique_ptr<GstSample, SampleUnref>;
using CapsPtr = std::unique_ptr<GstCaps, CapsUnref>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
using StringPtr = std::unique_ptr<gchar, GFree>;

// Takes ownership of an element GStreamer hands out floating (a new element or bin).
inline ElementPtr adoptFloating(GstElement* element) {
    if (element) gst_object_ref_sink(element);
    return ElementPtr(element);
}

// Initialises GStreamer on first use; later calls do nothing.
void ensureInitialised();

}  // namespace platform::media::gst
