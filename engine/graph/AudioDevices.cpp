// Stands in for the wave device enumeration of the old sound API.
// May include GStreamer; nothing outside engine/graph/ sees it.
#include "engine/graph/AudioDevices.h"

#include "engine/graph/GstPtr.h"

#include <filesystem>
#include <mutex>

namespace Graph {

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
    if (FactoryPtr(gst_element_factory_find("wavdest"))) return;
    // The writer plugin ships beside the executable, wherever the program folder was moved to.
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return;
    const std::string file = (exe.parent_path() / "libgstwavdest.so").string();
    if (!std::filesystem::exists(file, ec)) return;
    GError* error = nullptr;
    const PluginPtr plugin(gst_plugin_load_file(file.c_str(), &error));
    const ErrorPtr failure(error);
}

std::vector<std::string> AudioDeviceNames(bool pInput) {
    std::vector<std::string> names;
    if (!EnsureRuntime()) return names;
    MonitorPtr monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), pInput ? "Audio/Source" : "Audio/Sink", nullptr);
    // Probing without start(): the providers list what they see now, without a bus to drain.
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    for (GList* l = devices; l != nullptr; l = l->next) {
        TextPtr name(gst_device_get_display_name(GST_DEVICE(l->data)));
        if (name) names.emplace_back(name.get());
    }
    g_list_free_full(devices, gst_object_unref);
    return names;
}

} // namespace Graph
