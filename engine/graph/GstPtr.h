// Stands in for the runtime's reference counting: owners for every GStreamer and GLib object the
// graph layer holds. May include GStreamer; only engine/graph/ includes this header.
#pragma once

#include <gst/gst.h>

#include <memory>

namespace Graph {

struct UnrefObject {
    void operator()(gpointer p) const noexcept {
        if (p != nullptr) gst_object_unref(p);
    }
};
struct UnrefCaps {
    void operator()(GstCaps* p) const noexcept {
        if (p != nullptr) gst_caps_unref(p);
    }
};
struct UnrefMessage {
    void operator()(GstMessage* p) const noexcept {
        if (p != nullptr) gst_message_unref(p);
    }
};
struct FreeError {
    void operator()(GError* p) const noexcept {
        if (p != nullptr) g_error_free(p);
    }
};
struct FreeText {
    void operator()(gchar* p) const noexcept { g_free(p); }
};
// Stops a pipeline before its last reference goes, so that no streaming thread outlives it.
struct StopAndUnref {
    void operator()(GstElement* p) const noexcept {
        if (p == nullptr) return;
        gst_element_set_state(p, GST_STATE_NULL);
        gst_object_unref(p);
    }
};

using PipelinePtr = std::unique_ptr<GstElement, StopAndUnref>;
using ElementPtr = std::unique_ptr<GstElement, UnrefObject>;
using BusPtr = std::unique_ptr<GstBus, UnrefObject>;
using PadPtr = std::unique_ptr<GstPad, UnrefObject>;
using FactoryPtr = std::unique_ptr<GstElementFactory, UnrefObject>;
using PluginPtr = std::unique_ptr<GstPlugin, UnrefObject>;
using MonitorPtr = std::unique_ptr<GstDeviceMonitor, UnrefObject>;
using CapsPtr = std::unique_ptr<GstCaps, UnrefCaps>;
using MessagePtr = std::unique_ptr<GstMessage, UnrefMessage>;
using ErrorPtr = std::unique_ptr<GError, FreeError>;
using TextPtr = std::unique_ptr<gchar, FreeText>;

// A pipeline the caller owns: floating references are sunk so that the owner's unref is the last.
inline PipelinePtr OwnPipeline(GstElement* pElement) {
    if (pElement != nullptr) gst_object_ref_sink(pElement);
    return PipelinePtr(pElement);
}

// A new element held until a bin takes it: sunk, so that letting go of it leaves the bin its own
// reference.
inline ElementPtr OwnElement(GstElement* pElement) {
    if (pElement != nullptr) gst_object_ref_sink(pElement);
    return ElementPtr(pElement);
}

} // namespace Graph
