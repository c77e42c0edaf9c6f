// Stands in for one registered filter: a GStreamer bin whose pins exist from the start, with the
// streams of what it reads bound to them as they appear. May include GStreamer; only engine/graph/.
#pragma once

#include "engine/graph/Catalogue.h"
#include "engine/graph/FilterGraph.h"
#include "engine/graph/GstPin.h"

#include <gst/gst.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Graph {

class GstGraph;

class GstFilter final : public Filter {
public:
    // Builds the filter's bin into pGraph; when a part of it cannot be made or linked, the filter
    // is not Valid and the graph is left as it was.
    GstFilter(GstGraph& pGraph, const CatalogueEntry& pEntry);
    std::string Name() const override { return c_Entry.Name; }
    std::vector<Pin*> Pins() override;
    bool IsFileSource() const override {
        return c_Entry.Kind == FilterKind::FileSource || c_Entry.Kind == FilterKind::SourceSplit;
    }
    bool Filename(const std::string& pPath) override;
    // The file a file source reads.
    const std::string& Location() const { return c_Location; }
    bool SetFileName(const std::string& pPath) override;
    const CatalogueEntry& Entry() const { return c_Entry; }
    GstElement* Bin() const { return c_Bin; }
    GstElement* Volume() const { return c_Volume; }
    GstElement* Panorama() const { return c_Panorama; }
    GstGraph& Owner() const { return c_Graph; }
    // Whether what comes out is already raw audio.
    bool ProducesRaw() const {
        return c_Entry.Kind == FilterKind::Decoder || c_Entry.Kind == FilterKind::MpegDecoder;
    }
    bool WantsRaw() const {
        return c_Entry.Kind == FilterKind::WavWriter || c_Entry.Kind == FilterKind::Renderer;
    }
    bool Valid() const { return c_Bin != nullptr; }

private:
    static void OnPadAdded(GstElement* pElement, GstPad* pPad, gpointer pSelf);
    static void OnNoMorePads(GstElement* pElement, gpointer pSelf);
    static void OnHaveType(GstElement* pFind, guint pProbability, GstCaps* pCaps, gpointer pSelf);
    static void OnDemuxedPad(GstElement* pDemuxer, GstPad* pPad, gpointer pSelf);
    static GstPadProbeReturn OnWriterCaps(GstPad* pPad, GstPadProbeInfo* pInfo, gpointer pSelf);
    GstElement* AddInner(const char* pFactory);
    bool AddGhost(const std::string& pName, PinDirection pDirection, GstElement* pInner);
    bool Build();
    std::string Factory(const std::string& pTableName) const;
    void Prepare(const std::vector<GstElement*>& pElements);
    int AudioOutputIndex() const;

    GstGraph& c_Graph;
    const CatalogueEntry& c_Entry;
    GstElement* c_Bin = nullptr; // owned by the pipeline
    GstElement* c_FileSource = nullptr;
    GstElement* c_FileSink = nullptr;
    GstElement* c_Volume = nullptr;
    GstElement* c_Panorama = nullptr;
    GstElement* c_WriterFormat = nullptr;
    std::string c_Location;
    std::vector<std::unique_ptr<GstPin>> c_Pins;
    std::mutex c_Lock;
    bool c_AudioBound = false;
    // An audio stream has gone to a decoder whose output is still to come.
    bool c_AudioPending = false;
};

} // namespace Graph
