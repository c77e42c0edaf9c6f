// Stands in for the runtime's filter graph: one GStreamer pipeline with its state, bus, completion
// and positions. May include GStreamer; only engine/graph/ includes this header.
#pragma once

#include "engine/graph/FilterGraph.h"
#include "engine/graph/GstPtr.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace Graph {

class GstFilter;

class GstGraph final : public FilterGraph {
public:
    GstGraph();
    ~GstGraph() override;
    std::vector<std::string> RegisteredFilters() const override;
    Filter* AddFilter(const std::string& pRegisteredName) override;
    std::vector<Filter*> Filters() override;
    bool Run() override;
    bool Pause() override;
    bool Stop() override;
    GraphState State(int pTimeoutMs) override;
    long WaitForCompletion(int pTimeoutMs) override;
    bool NoReader() const override { return c_NoReader; }
    StreamFormat AudioFormat() override;
    double Duration() override;
    double CurrentPosition() override;
    void CurrentPosition(double pSeconds) override;
    double Rate() override { return c_Rate; }
    void Rate(double pRate) override;
    long Volume() override { return c_Volume; }
    void Volume(long pVolume) override;
    long Balance() override { return c_Balance; }
    void Balance(long pBalance) override;

    GstElement* Pipeline() const { return c_Pipeline.get(); }
    // Every buffer a file source of this graph hands on.
    std::atomic<std::uint64_t>& Flow() { return c_Flow; }
    // The file the graph's source reads; empty when it has none.
    std::string SourcePath() const;
    // Whether an audio decoder has joined the graph: samples then come from a codec, not a file.
    bool Decodes() const { return c_Decodes.load(); }

private:
    static constexpr gint64 kNotParsed = -2;

    static void OnAdded(GstBin*, GstBin*, GstElement* pElement, gpointer pSelf);
    void TakeError(GstMessage* pMessage);
    void Preroll();

    PipelinePtr c_Pipeline;
    std::vector<std::unique_ptr<GstFilter>> c_Filters;
    std::atomic<std::uint64_t> c_Flow{0};
    std::atomic<bool> c_Decodes{false};
    long c_Completed = 0;
    bool c_NoReader = false;
    gint64 c_ParsedLength = kNotParsed;
    double c_Rate = 1.0;
    long c_Volume = 0;
    long c_Balance = 0;
};

} // namespace Graph
