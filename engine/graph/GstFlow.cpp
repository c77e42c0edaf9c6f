// Stands in for the runtime's streaming plumbing shared by graphs, filters and pins.
// May include GStreamer; nothing outside engine/graph/ sees it.
#include "engine/graph/GstFlow.h"

#include <chrono>
#include <cstring>

namespace Graph {

namespace {

// Waiting for a graph to preroll or a parser to reach the end: a graph whose source reads nothing
// for kNoProgress has given up, whatever it says; one that keeps reading gets up to kFlowing.
constexpr auto kNoProgress = std::chrono::milliseconds(1500);
constexpr auto kFlowing = std::chrono::seconds(60);
constexpr GstClockTime kBusSlice = 100 * GST_MSECOND;

GstPadProbeReturn CountFlow(GstPad*, GstPadProbeInfo*, gpointer pCounter) {
    static_cast<std::atomic<std::uint64_t>*>(pCounter)->fetch_add(1);
    return GST_PAD_PROBE_OK;
}

} // namespace

bool HasFactory(const std::string& pName) {
    return FactoryPtr(gst_element_factory_find(pName.c_str())) != nullptr;
}

GstElement* Make(const char* pFactory) {
    return gst_element_factory_make(pFactory, nullptr);
}

bool IsAudio(GstPad* pPad) {
    CapsPtr caps(gst_pad_get_current_caps(pPad));
    if (!caps) caps.reset(gst_pad_query_caps(pPad, nullptr));
    if (!caps || gst_caps_get_size(caps.get()) == 0) return false;
    const gchar* name = gst_structure_get_name(gst_caps_get_structure(caps.get(), 0));
    return name != nullptr && g_str_has_prefix(name, "audio/");
}

bool IsAudioDecoder(GstElement* pElement) {
    GstElementFactory* factory = gst_element_get_factory(pElement);
    const gchar* klass =
        factory != nullptr ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
    return klass != nullptr && std::strstr(klass, "Decoder") != nullptr &&
           std::strstr(klass, "Audio") != nullptr;
}

void Swallow(GstBin* pBin, GstPad* pPad, GstPadProbeCallback pWatch, gpointer pData) {
    GstElement* sink = Make("fakesink");
    if (sink == nullptr) return;
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(pBin, sink);
    gst_element_sync_state_with_parent(sink);
    PadPtr sinkPad(gst_element_get_static_pad(sink, "sink"));
    if (pWatch != nullptr)
        gst_pad_add_probe(sinkPad.get(), GST_PAD_PROBE_TYPE_BUFFER, pWatch, pData, nullptr);
    gst_pad_link(pPad, sinkPad.get());
}

void WatchFlow(GstPad* pPad, std::atomic<std::uint64_t>& pCounter) {
    gst_pad_add_probe(pPad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                      CountFlow, &pCounter, nullptr);
}

MessagePtr WaitWhileFlowing(GstElement* pPipeline, GstMessageType pTypes,
                            const std::atomic<std::uint64_t>& pFlow) {
    using Clock = std::chrono::steady_clock;
    const BusPtr bus(gst_element_get_bus(pPipeline));
    const auto start = Clock::now();
    auto lastChange = start;
    std::uint64_t seen = pFlow.load();
    for (;;) {
        MessagePtr message(gst_bus_timed_pop_filtered(bus.get(), kBusSlice, pTypes));
        if (message) return message;
        const auto now = Clock::now();
        if (const std::uint64_t flow = pFlow.load(); flow != seen) {
            seen = flow;
            lastChange = now;
        }
        if (now - lastChange >= kNoProgress || now - start >= kFlowing) return nullptr;
    }
}

} // namespace Graph
