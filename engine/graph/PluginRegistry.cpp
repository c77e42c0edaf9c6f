// Stands in for the system registry of media filters: which plugins GStreamer knows.
// May include GStreamer; nothing outside engine/graph/ sees it.
#include "engine/graph/PluginRegistry.h"

#include "engine/graph/AudioDevices.h"
#include "engine/graph/GstPtr.h"
#include "support/ComponentRegistry.h"

#include <cstring>
#include <filesystem>

namespace Graph {

namespace {

class GstComponentRegistry final : public Support::ComponentRegistry {
public:
    bool WavDestRegistered() override {
        if (!EnsureRuntime()) return false;
        bool found = false;
        GList* features = gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_ELEMENT_FACTORY);
        for (GList* l = features; l != nullptr && !found; l = l->next) {
            auto* factory = GST_ELEMENT_FACTORY(l->data);
            const gchar* name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
            if (name == nullptr || std::strcmp(name, "WAV Dest") != 0) continue;
            // A plugin whose file is gone no longer counts, though this process still holds it.
            const PluginPtr plugin(gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory)));
            const gchar* file = plugin ? gst_plugin_get_filename(plugin.get()) : nullptr;
            std::error_code ec;
            found = file == nullptr || std::filesystem::exists(file, ec);
        }
        gst_plugin_feature_list_free(features);
        return found;
    }
    void Rescan(const std::string& pFolder) override {
        if (!EnsureRuntime()) return;
        gst_registry_scan_path(gst_registry_get(), pFolder.c_str());
    }
};

} // namespace

void InstallComponentRegistry() {
    static GstComponentRegistry registry;
    Support::UseComponentRegistry(&registry);
}

} // namespace Graph
