// Stands in for the DirectShow runtime: the factory of graphs of friendly filters built from
// GStreamer bins whose pads exist from the start. May include GStreamer; only engine/graph/.
#include "engine/graph/AudioDevices.h"
#include "engine/graph/FilterGraph.h"
#include "engine/graph/GstGraph.h"

#include <atomic>

namespace Graph {

namespace {

class GstRuntime final : public Runtime {
public:
    std::shared_ptr<FilterGraph> CreateGraph() override {
        if (!EnsureRuntime()) return nullptr;
        return std::make_shared<GstGraph>();
    }
};

// Set by tests while no graph is being built; read by every thread that builds one.
std::atomic<Runtime*> g_Installed{nullptr};

} // namespace

Runtime& CurrentRuntime() {
    static GstRuntime runtime;
    Runtime* installed = g_Installed.load();
    return installed != nullptr ? *installed : runtime;
}

void UseRuntime(Runtime* pRuntime) {
    g_Installed.store(pRuntime);
}

} // namespace Graph
