// Stands in for the wave device enumeration of the old sound API.
// May include GStreamer; nothing outside engine/graph/ sees it.
#include "engine/graph/AudioDevices.h"

#include <gst/gst.h>

#include <filesystem>
#include <memory>
#include <mutex>

namespace Graph {

namespace {

struct GObjectUnref {
    void operator()(gpointer p) const noexcept {
        if (p != nullptr) g_object_unref(p);
    }
};

struct GFree {
    void operator()(gchar* p) const noexcept { g_free(p); }
};

} // namespace

bool EnsureRuntime() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        ok = gst_init_check(nullptr, nullptr, nullptr) != FALSE;
        if (ok) LoadProgramPlugins();
    });
    return ok;
}

void LoadProgramPlugins() {
    GstElementFactory* factory = gst_element_factory_find("wavdest");
    if (factory != nullptr) {
        gst_object_unref(factory);
        return;
    }
    // The writer plugin ships beside the executable, wherever the program folder was moved to.
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return;
    const std::string file = (exe.parent_path() / "libgstwavdest.so").string();
    if (!std::filesystem::exists(file, ec)) return;
    GError* error = nullptr;
    GstPlugin* plugin = gst_plugin_load_file(file.c_str(), &error);
    if (plugin != nullptr) gst_object_unref(plugin);
    if (error != nullptr) g_error_free(error);
}

std::vector<std::string> AudioDeviceNames(bool pInput) {
    std::vector<std::string> names;
    if (!EnsureRuntime()) return names;
    std::unique_ptr<GstDeviceMonitor, GObjectUnref> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), pInput ? "Audio/Source" : "Audio/Sink", nullptr);
    // Probing without start(): the providers list what they see now, without a bus to drain.
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    for (GList* l = devices; l != nullptr; l = l->next) {
        std::unique_ptr<gchar, GFree> name(gst_device_get_display_name(GST_DEVICE(l->data)));
        if (name) names.emplace_back(name.get());
    }
    g_list_free_full(devices, gst_object_unref);
    return names;
}

} // namespace Graph
