// Stands in for the DirectShow runtime: graphs of friendly filters built from GStreamer bins
// whose pads exist from the start. May include GStreamer; nothing outside engine/graph/ sees it.
#include "engine/graph/AudioDevices.h"
#include "engine/graph/Catalogue.h"
#include "engine/graph/FilterGraph.h"
#include "engine/graph/GstPtr.h"
#include "support/FileIO.h"
#include "support/Log.h"

#include <gst/audio/audio.h>
#include <gst/base/gsttypefindhelper.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace Graph {

namespace {

// Waiting for a graph to preroll or a parser to reach the end: a graph whose source reads nothing
// for kNoProgress has given up, whatever it says; one that keeps reading gets up to kFlowing.
constexpr auto kNoProgress = std::chrono::milliseconds(1500);
constexpr auto kFlowing = std::chrono::seconds(60);
constexpr GstClockTime kBusSlice = 100 * GST_MSECOND;
// What the file type is told from: the file's first bytes.
constexpr std::size_t kTypeBytes = 65536;

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

// Streams nobody asked for end in a sink of their own, so they never stop the others. pWatch,
// when given, sees every buffer that arrives there, from the first.
void Swallow(GstBin* pBin, GstPad* pPad, GstPadProbeCallback pWatch = nullptr, gpointer pData = nullptr) {
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

// Whether a sound server is there to play to. Measuring must work on machines without one, and
// probing the sound cards themselves fills the terminal with their complaints.
bool AudioOutputOpens() {
    static const bool opens = [] {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime == nullptr || runtime[0] == '\0') return false;
        std::error_code ec;
        return std::filesystem::exists(std::string(runtime) + "/pulse/native", ec) ||
               std::filesystem::exists(std::string(runtime) + "/pipewire-0", ec);
    }();
    return opens;
}

class GstFilter;
class GstGraph;

class GstPin final : public Pin {
public:
    GstPin(GstFilter& pOwner, GstPad* pGhost, PinDirection pDirection, std::string pName)
        : c_Owner(pOwner)
        , c_Ghost(pGhost)
        , c_Direction(pDirection)
        , c_Name(std::move(pName)) {}
    PinDirection Direction() const override { return c_Direction; }
    std::string PinID() const override { return c_Name; }
    bool Connect(Pin& pInput) override;
    void Disconnect() override;
    GstPad* Pad() const { return c_Ghost; }
    GstFilter& Owner() const { return c_Owner; }

private:
    GstFilter& c_Owner;
    GstPad* c_Ghost; // owned by the bin
    PinDirection c_Direction;
    std::string c_Name;
    std::vector<GstElement*> c_Inserted; // what was put between this pin and its peer (owned by the pipeline)
};

class GstFilter final : public Filter {
public:
    GstFilter(GstGraph& pGraph, const CatalogueEntry& pEntry);
    std::string Name() const override { return c_Entry.Name; }
    std::vector<Pin*> Pins() override {
        std::vector<Pin*> pins;
        for (auto& p : c_Pins)
            pins.push_back(p.get());
        return pins;
    }
    bool IsFileSource() const override {
        return c_Entry.Kind == FilterKind::FileSource || c_Entry.Kind == FilterKind::SourceSplit;
    }
    bool Filename(const std::string& pPath) override {
        if (c_FileSource == nullptr) return false;
        g_object_set(c_FileSource, "location", pPath.c_str(), nullptr);
        c_Location = pPath;
        return true;
    }
    // The file a file source reads.
    const std::string& Location() const { return c_Location; }
    bool SetFileName(const std::string& pPath) override {
        if (c_FileSink == nullptr) return false;
        g_object_set(c_FileSink, "location", pPath.c_str(), nullptr);
        return true;
    }
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
    void AddGhost(const std::string& pName, PinDirection pDirection, GstPad* pTarget);
    void Build();
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

// Waits on pPipeline's bus for one of pTypes while its file source reads. Null when the wait gave
// up: no progress for kNoProgress, or kFlowing in all.
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

// Counts the buffers that pass a pad, pushed or pulled: the graph's sign of life.
GstPadProbeReturn CountFlow(GstPad*, GstPadProbeInfo*, gpointer pCounter) {
    static_cast<std::atomic<std::uint64_t>*>(pCounter)->fetch_add(1);
    return GST_PAD_PROBE_OK;
}

void WatchFlow(GstPad* pPad, std::atomic<std::uint64_t>& pCounter) {
    gst_pad_add_probe(pPad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                      CountFlow, &pCounter, nullptr);
}

// What a parse-only pass over a file has seen: the end of its last timed buffer.
struct ParseScan {
    std::atomic<std::uint64_t> Flow{0};
    std::mutex Lock;
    gint64 End = -1;
    GstBin* Bin = nullptr;

    static GstPadProbeReturn Buffer(GstPad*, GstPadProbeInfo* pInfo, gpointer pSelf) {
        auto* self = static_cast<ParseScan*>(pSelf);
        // Parsed buffers are progress too: the source may have read everything before the parser.
        self->Flow.fetch_add(1);
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(pInfo);
        if (buffer != nullptr && GST_BUFFER_PTS_IS_VALID(buffer)) {
            const gint64 end =
                gint64(GST_BUFFER_PTS(buffer)) +
                (GST_BUFFER_DURATION_IS_VALID(buffer) ? gint64(GST_BUFFER_DURATION(buffer)) : 0);
            std::lock_guard lock(self->Lock);
            self->End = std::max(self->End, end);
        }
        return GST_PAD_PROBE_OK;
    }
    static void Added(GstElement*, GstPad* pPad, gpointer pSelf) {
        auto* self = static_cast<ParseScan*>(pSelf);
        Swallow(self->Bin, pPad, Buffer, self);
    }
};

// The length a parser finds when it reads pPath to its end: for streams that carry no length
// (raw AAC), whose estimate from the first frames alone is too rough. Negative when unknown.
gint64 ParsedLength(const std::string& pPath) {
    // Declared first, so that the pipeline and its threads are gone before it is.
    ParseScan scan;
    PipelinePtr pipeline = OwnPipeline(gst_pipeline_new(nullptr));
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* parser = gst_element_factory_make("parsebin", nullptr);
    for (GstElement* e : {source, parser})
        if (e != nullptr) gst_bin_add(GST_BIN(pipeline.get()), e);
    if (source == nullptr || parser == nullptr || !gst_element_link(source, parser)) return -1;
    g_object_set(source, "location", pPath.c_str(), nullptr);
    scan.Bin = GST_BIN(pipeline.get());
    const PadPtr read(gst_element_get_static_pad(source, "src"));
    WatchFlow(read.get(), scan.Flow);
    g_signal_connect(parser, "pad-added", G_CALLBACK(ParseScan::Added), &scan);
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return -1;
    const MessagePtr message =
        WaitWhileFlowing(pipeline.get(), GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR), scan.Flow);
    const bool complete = message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS;
    // Stopped before the scan is read: no streaming thread writes to it any more.
    pipeline.reset();
    return complete ? scan.End : -1;
}

// The short name of what the first audio decoder in pBin decodes: its input's media type without
// "audio/" and "x-". Empty when nothing decodes.
std::string DecodedCodec(GstBin* pBin) {
    std::string codec;
    GstIterator* it = gst_bin_iterate_recurse(pBin);
    GValue item = G_VALUE_INIT;
    while (codec.empty() && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(element);
        const gchar* klass =
            factory != nullptr ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
        if (klass != nullptr && std::strstr(klass, "Decoder") != nullptr && std::strstr(klass, "Audio") != nullptr) {
            const PadPtr sink(gst_element_get_static_pad(element, "sink"));
            const CapsPtr caps(sink ? gst_pad_get_current_caps(sink.get()) : nullptr);
            if (caps && gst_caps_get_size(caps.get()) > 0) {
                std::string type = gst_structure_get_name(gst_caps_get_structure(caps.get(), 0));
                for (const char* prefix : {"audio/", "x-"})
                    if (type.rfind(prefix, 0) == 0) type.erase(0, std::strlen(prefix));
                codec = type;
            }
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return codec;
}

// Whether GStreamer's own AIFF parser gets through pPath's header to its first samples.
bool AiffParserReads(const std::string& pPath) {
    std::atomic<std::uint64_t> flow{0};
    PipelinePtr pipeline = OwnPipeline(gst_pipeline_new(nullptr));
    GstElement* source = Make("filesrc");
    GstElement* parser = Make("aiffparse");
    GstElement* sink = Make("fakesink");
    for (GstElement* e : {source, parser, sink})
        if (e != nullptr) gst_bin_add(GST_BIN(pipeline.get()), e);
    if (source == nullptr || parser == nullptr || sink == nullptr ||
        !gst_element_link_many(source, parser, sink, nullptr))
        return true;
    g_object_set(source, "location", pPath.c_str(), nullptr);
    WatchFlow(PadPtr(gst_element_get_static_pad(source, "src")).get(), flow);
    if (gst_element_set_state(pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return false;
    const MessagePtr message =
        WaitWhileFlowing(pipeline.get(), GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR), flow);
    return message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ASYNC_DONE;
}

class GstGraph final : public FilterGraph {
public:
    GstGraph()
        : c_Pipeline(OwnPipeline(gst_pipeline_new(nullptr))) {
        if (c_Pipeline) g_signal_connect(c_Pipeline.get(), "deep-element-added", G_CALLBACK(OnAdded), this);
    }
    ~GstGraph() override {
        // The pipeline goes first: its streaming threads call into the filters' pads.
        c_Pipeline.reset();
        c_Filters.clear();
    }
    std::vector<std::string> RegisteredFilters() const override {
        std::vector<std::string> names;
        for (const CatalogueEntry& entry : Catalogue()) {
            bool present = true;
            for (const std::string& factory : entry.Factories)
                present = present && HasFactory(factory);
            if (present) names.push_back(entry.Name);
        }
        return names;
    }
    Filter* AddFilter(const std::string& pRegisteredName) override {
        const CatalogueEntry* entry = FindEntry(pRegisteredName);
        if (entry == nullptr || !c_Pipeline) return nullptr;
        auto filter = std::make_unique<GstFilter>(*this, *entry);
        if (!filter->Valid()) return nullptr;
        c_Filters.push_back(std::move(filter));
        return c_Filters.back().get();
    }
    std::vector<Filter*> Filters() override {
        std::vector<Filter*> filters;
        for (auto& f : c_Filters)
            filters.push_back(f.get());
        return filters;
    }
    bool Run() override {
        c_Completed = 0;
        return gst_element_set_state(Pipeline(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    }
    bool Pause() override {
        return gst_element_set_state(Pipeline(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
    }
    bool Stop() override {
        // Stopping releases the files: the writer closes its output here.
        return gst_element_set_state(Pipeline(), GST_STATE_NULL) != GST_STATE_CHANGE_FAILURE;
    }
    GraphState State(int pTimeoutMs) override {
        GstState state = GST_STATE_NULL;
        gst_element_get_state(Pipeline(), &state, nullptr, GstClockTime(pTimeoutMs) * GST_MSECOND);
        if (state == GST_STATE_PLAYING) return GraphState::Running;
        if (state == GST_STATE_PAUSED) return GraphState::Paused;
        return GraphState::Stopped;
    }
    long WaitForCompletion(int pTimeoutMs) override {
        if (c_Completed != 0) return c_Completed;
        const BusPtr bus(gst_element_get_bus(Pipeline()));
        const MessagePtr message(
            gst_bus_timed_pop_filtered(bus.get(), GstClockTime(pTimeoutMs) * GST_MSECOND,
                                       GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
        if (!message) return 0;
        if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS) {
            c_Completed = kEventComplete;
        } else {
            TakeError(message.get());
            c_Completed = kEventErrorAbort;
        }
        return c_Completed;
    }
    bool NoReader() const override { return c_NoReader; }
    StreamFormat AudioFormat() override {
        Preroll();
        StreamFormat format;
        if (c_Completed == kEventErrorAbort) return format;
        for (auto& filter : c_Filters) {
            if (filter->Entry().Kind != FilterKind::Renderer) continue;
            for (Pin* pin : filter->Pins()) {
                const CapsPtr caps(gst_pad_get_current_caps(static_cast<GstPin*>(pin)->Pad()));
                GstAudioInfo info;
                if (!caps || !gst_audio_info_from_caps(&info, caps.get())) continue;
                format.Rate = GST_AUDIO_INFO_RATE(&info);
                format.Channels = GST_AUDIO_INFO_CHANNELS(&info);
                format.Bits = GST_AUDIO_INFO_IS_FLOAT(&info) ? 0 : GST_AUDIO_INFO_DEPTH(&info);
            }
        }
        format.Codec = DecodedCodec(GST_BIN(Pipeline()));
        return format;
    }
    double Duration() override {
        Preroll();
        if (c_Completed == kEventErrorAbort) return 0;
        gint64 duration = 0;
        if (gst_element_query_duration(Pipeline(), GST_FORMAT_TIME, &duration) && duration >= 0)
            return double(duration) / double(GST_SECOND);
        // The stream carries no length: the parser reads the file through to find it, once.
        if (c_ParsedLength == kNotParsed) {
            const std::string path = SourcePath();
            c_ParsedLength = Support::OpenForRead(path) ? ParsedLength(path) : -1;
        }
        return c_ParsedLength > 0 ? double(c_ParsedLength) / double(GST_SECOND) : 0;
    }
    double CurrentPosition() override {
        gint64 position = 0;
        if (gst_element_query_position(Pipeline(), GST_FORMAT_TIME, &position) && position >= 0)
            return double(position) / double(GST_SECOND);
        // A writer's byte stream has no time: ask what feeds the writer.
        for (auto& filter : c_Filters) {
            if (filter->Entry().Kind != FilterKind::WavWriter) continue;
            for (Pin* pin : filter->Pins())
                if (pin->Direction() == PinDirection::Input &&
                    gst_pad_peer_query_position(static_cast<GstPin*>(pin)->Pad(), GST_FORMAT_TIME,
                                                &position) &&
                    position >= 0)
                    return double(position) / double(GST_SECOND);
        }
        return 0;
    }
    void CurrentPosition(double pSeconds) override {
        Preroll();
        if (c_Completed == kEventErrorAbort) return;
        gst_element_seek_simple(Pipeline(), GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                gint64(std::max(0.0, pSeconds) * double(GST_SECOND)));
    }
    double Rate() override { return c_Rate; }
    void Rate(double pRate) override {
        c_Rate = pRate > 0 ? pRate : 1.0;
        GstState state = GST_STATE_NULL;
        gst_element_get_state(Pipeline(), &state, nullptr, 0);
        if (state < GST_STATE_PAUSED) return;
        gint64 position = 0;
        gst_element_query_position(Pipeline(), GST_FORMAT_TIME, &position);
        gst_element_seek(Pipeline(), c_Rate, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, GST_SEEK_TYPE_SET,
                         position, GST_SEEK_TYPE_NONE, 0);
    }
    long Volume() override { return c_Volume; }
    void Volume(long pVolume) override {
        c_Volume = std::clamp(pVolume, -10000L, 0L);
        // Hundredths of a decibel to a linear factor.
        const double linear = std::pow(10.0, double(c_Volume) / 2000.0);
        for (auto& f : c_Filters)
            if (f->Volume() != nullptr) g_object_set(f->Volume(), "volume", linear, nullptr);
    }
    long Balance() override { return c_Balance; }
    void Balance(long pBalance) override {
        c_Balance = std::clamp(pBalance, -10000L, 10000L);
        for (auto& f : c_Filters)
            if (f->Panorama() != nullptr)
                g_object_set(f->Panorama(), "panorama", float(c_Balance) / 10000.0f, nullptr);
    }

    GstElement* Pipeline() const { return c_Pipeline.get(); }
    // Every buffer a file source of this graph hands on.
    std::atomic<std::uint64_t>& Flow() { return c_Flow; }
    // The file the graph's source reads; empty when it has none.
    std::string SourcePath() const {
        for (const auto& filter : c_Filters)
            if (filter->IsFileSource() && !filter->Location().empty()) return filter->Location();
        return {};
    }
    // Whether an audio decoder has joined the graph: samples then come from a codec, not a file.
    bool Decodes() const { return c_Decodes.load(); }

private:
    static constexpr gint64 kNotParsed = -2;

    static void OnAdded(GstBin*, GstBin*, GstElement* pElement, gpointer pSelf) {
        GstElementFactory* factory = gst_element_get_factory(pElement);
        const gchar* klass =
            factory != nullptr ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
        if (klass != nullptr && std::strstr(klass, "Decoder") != nullptr && std::strstr(klass, "Audio") != nullptr)
            static_cast<GstGraph*>(pSelf)->c_Decodes.store(true);
    }

    void TakeError(GstMessage* pMessage) {
        GError* error = nullptr;
        gst_message_parse_error(pMessage, &error, nullptr);
        const ErrorPtr owned(error);
        Support::WriteLog(std::string("Graph error: ") + (owned ? owned->message : "unknown"), 0);
        // The kind of file was recognised, and nothing here reads it (bytes of no known kind are not).
        if (owned && (g_error_matches(owned.get(), GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN) ||
                      g_error_matches(owned.get(), GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND)))
            c_NoReader = true;
    }


    // Brings the graph to its first frame, so that durations and positions can be asked. A graph
    // that fails on the way, or whose source stops reading before it gets there, is remembered
    // as aborted rather than waited for again.
    void Preroll() {
        GstState state = GST_STATE_NULL;
        gst_element_get_state(Pipeline(), &state, nullptr, 0);
        if (state >= GST_STATE_PAUSED || c_Completed != 0) return;
        const GstStateChangeReturn change = gst_element_set_state(Pipeline(), GST_STATE_PAUSED);
        if (change == GST_STATE_CHANGE_FAILURE) {
            c_Completed = kEventErrorAbort;
            return;
        }
        if (change != GST_STATE_CHANGE_ASYNC) return;
        const MessagePtr message =
            WaitWhileFlowing(Pipeline(), GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR), c_Flow);
        if (!message || GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
            if (!message)
                Support::WriteLog("Graph error: no progress", 0);
            else
                TakeError(message.get());
            c_Completed = kEventErrorAbort;
            // Nothing more will come of it: the streaming threads are let go now.
            gst_element_set_state(Pipeline(), GST_STATE_NULL);
        }
    }

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

GstFilter::GstFilter(GstGraph& pGraph, const CatalogueEntry& pEntry)
    : c_Graph(pGraph)
    , c_Entry(pEntry) {
    Build();
}

int GstFilter::AudioOutputIndex() const {
    // The output the pin choice will take.
    return PreferredOutput(c_Entry.Outputs);
}

void GstFilter::AddGhost(const std::string& pName, PinDirection pDirection, GstPad* pTarget) {
    GstPad* ghost = pTarget != nullptr
                        ? gst_ghost_pad_new(pName.c_str(), pTarget)
                        : gst_ghost_pad_new_no_target(
                              pName.c_str(), pDirection == PinDirection::Input ? GST_PAD_SINK : GST_PAD_SRC);
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(c_Bin, ghost);
    c_Pins.push_back(std::make_unique<GstPin>(*this, ghost, pDirection, pName));
}

void GstFilter::Build() {
    GstElement* bin = gst_bin_new(nullptr);
    c_Bin = bin;
    gst_bin_add(GST_BIN(c_Graph.Pipeline()), bin);
    auto add = [bin](const char* pFactory) {
        GstElement* e = Make(pFactory);
        if (e != nullptr) gst_bin_add(GST_BIN(bin), e);
        return e;
    };
    auto pad = [](GstElement* pElement, const char* pName) {
        return PadPtr(gst_element_get_static_pad(pElement, pName));
    };
    auto chain = [](std::initializer_list<GstElement*> pElements) {
        GstElement* previous = nullptr;
        for (GstElement* e : pElements) {
            if (previous != nullptr) gst_element_link(previous, e);
            previous = e;
        }
    };
    const std::string in = c_Entry.Inputs.empty() ? std::string() : c_Entry.Inputs.front();
    switch (c_Entry.Kind) {
    case FilterKind::FileSource: {
        c_FileSource = add("filesrc");
        WatchFlow(pad(c_FileSource, "src").get(), c_Graph.Flow());
        AddGhost(c_Entry.Outputs.front(), PinDirection::Output, pad(c_FileSource, "src").get());
        break;
    }
    case FilterKind::SourceSplit: {
        c_FileSource = add("filesrc");
        WatchFlow(pad(c_FileSource, "src").get(), c_Graph.Flow());
        GstElement* split = add("parsebin");
        chain({c_FileSource, split});
        for (const std::string& name : c_Entry.Outputs)
            AddGhost(name, PinDirection::Output, nullptr);
        g_signal_connect(split, "pad-added", G_CALLBACK(OnPadAdded), this);
        g_signal_connect(split, "no-more-pads", G_CALLBACK(OnNoMorePads), this);
        break;
    }
    case FilterKind::Decoder:
    case FilterKind::Parser:
    case FilterKind::Splitter: {
        // What arrives decides the inner elements: see OnHaveType.
        GstElement* find = add("typefind");
        AddGhost(in, PinDirection::Input, pad(find, "sink").get());
        for (const std::string& name : c_Entry.Outputs)
            AddGhost(name, PinDirection::Output, nullptr);
        g_signal_connect(find, "have-type", G_CALLBACK(OnHaveType), this);
        break;
    }
    case FilterKind::MpegDecoder: {
        GstElement* parse = add("mpegaudioparse");
        GstElement* decoder = add(c_Entry.Decoder.c_str());
        // The decoder's own 16-bit output: no float round trip on the way to the writer.
        GstElement* format = add("capsfilter");
        const CapsPtr caps(gst_caps_from_string("audio/x-raw,format=S16LE"));
        g_object_set(format, "caps", caps.get(), nullptr);
        chain({parse, decoder, format});
        AddGhost(in, PinDirection::Input, pad(parse, "sink").get());
        AddGhost(c_Entry.Outputs.front(), PinDirection::Output, pad(format, "src").get());
        break;
    }
    case FilterKind::PassThrough: {
        GstElement* identity = add("identity");
        AddGhost(in, PinDirection::Input, pad(identity, "sink").get());
        AddGhost(c_Entry.Outputs.front(), PinDirection::Output, pad(identity, "src").get());
        break;
    }
    case FilterKind::WavWriter: {
        GstElement* convert = add("audioconvert");
        // Deterministic integer output: no dither, no noise shaping.
        g_object_set(convert, "dithering", 0, "noise-shaping", 0, nullptr);
        // Only at work when a stream changes its rate part-way: the file keeps the first one.
        GstElement* resample = add("audioresample");
        c_WriterFormat = add("capsfilter");
        GstElement* writer = add("wavdest");
        chain({convert, resample, c_WriterFormat, writer});
        gst_pad_add_probe(pad(convert, "sink").get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnWriterCaps, this,
                          nullptr);
        AddGhost(in, PinDirection::Input, pad(convert, "sink").get());
        AddGhost(c_Entry.Outputs.front(), PinDirection::Output, pad(writer, "src").get());
        break;
    }
    case FilterKind::FileWriter: {
        c_FileSink = add("filesink");
        g_object_set(c_FileSink, "sync", FALSE, "async", FALSE, nullptr);
        AddGhost(in, PinDirection::Input, pad(c_FileSink, "sink").get());
        break;
    }
    case FilterKind::Renderer: {
        GstElement* convert = add("audioconvert");
        GstElement* resample = add("audioresample");
        c_Volume = add("volume");
        c_Panorama = HasFactory("audiopanorama") ? add("audiopanorama") : nullptr;
        GstElement* convert2 = add("audioconvert");
        const bool pulse = c_Entry.Factories.back() == "pulsesink";
        GstElement* sink = add(pulse ? "pulsesink" : (AudioOutputOpens() ? "autoaudiosink" : "fakesink"));
        if (sink != nullptr && !pulse && !AudioOutputOpens()) g_object_set(sink, "sync", TRUE, nullptr);
        if (c_Panorama != nullptr)
            chain({convert, resample, c_Volume, c_Panorama, convert2, sink});
        else
            chain({convert, resample, c_Volume, convert2, sink});
        AddGhost(in, PinDirection::Input, pad(convert, "sink").get());
        break;
    }
    }
}

GstElement* GstFilter::AddInner(const char* pFactory) {
    GstElement* e = Make(pFactory);
    if (e == nullptr) return nullptr;
    gst_bin_add(GST_BIN(c_Bin), e);
    gst_element_sync_state_with_parent(e);
    return e;
}

// What the writer is to make of pChannels channels: a format the converter reads. Mono, stereo,
// 5.1 and 7.1 keep their channels (surround at 16 or 24 bits, as there is no 8-bit surround
// mode); any other layout is mixed down to stereo. pWide asks for 24 bits, which the writer
// otherwise gives only to 24-bit input.
CapsPtr WriterCaps(int pChannels, bool pWide) {
    std::string caps = "audio/x-raw";
    if (pWide)
        caps += ", format = (string) S24LE";
    else if (pChannels == 6 || pChannels == 8)
        caps += ", format = (string) { S16LE, S24LE, S32LE, F32LE, F64LE }";
    if (pChannels != 1 && pChannels != 2 && pChannels != 6 && pChannels != 8)
        caps += ", channels = (int) 2, channel-mask = (bitmask) 0x3";
    if (caps == "audio/x-raw") return CapsPtr(gst_caps_new_any());
    return CapsPtr(gst_caps_from_string(caps.c_str()));
}

// A layout for channels that came without one (plain PCM of three or more channels): the
// converter mixes down only channels whose places it knows. Four to eight take the usual
// surround layouts; any other count takes the first places in order (three: left, right,
// centre). 0 when there are more channels than places.
guint64 DefaultChannelMask(int pChannels) {
    if (pChannels >= 4 && pChannels <= 8) return gst_audio_channel_get_fallback_mask(pChannels);
    if (pChannels < 3 || pChannels > GST_AUDIO_CHANNEL_POSITION_SURROUND_RIGHT + 1) return 0;
    return (guint64(1) << pChannels) - 1;
}

// Whether pCaps are samples of more than 16 bits that a file held as they are: integers wider
// than 16 bits from any source, or floating point from a PCM file (a decoder's floating-point
// output keeps its 16-bit path).
bool WideSamples(const GstStructure* pCaps, bool pDecoded) {
    const GstAudioFormatInfo* info =
        gst_audio_format_get_info(gst_audio_format_from_string(gst_structure_get_string(pCaps, "format")));
    if (info == nullptr || GST_AUDIO_FORMAT_INFO_FORMAT(info) == GST_AUDIO_FORMAT_UNKNOWN) return false;
    if (GST_AUDIO_FORMAT_INFO_IS_FLOAT(info)) return !pDecoded;
    return GST_AUDIO_FORMAT_INFO_DEPTH(info) > 16;
}

GstPadProbeReturn GstFilter::OnWriterCaps(GstPad*, GstPadProbeInfo* pInfo, gpointer pSelf) {
    auto* self = static_cast<GstFilter*>(pSelf);
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(pInfo);
    if (event == nullptr || GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    if (caps == nullptr || gst_caps_get_size(caps) == 0) return GST_PAD_PROBE_OK;
    // A stream that changes its format part-way is converted to what the file was begun with.
    const PadPtr written(gst_element_get_static_pad(self->c_WriterFormat, "src"));
    if (const CapsPtr first(gst_pad_get_current_caps(written.get())); first) {
        g_object_set(self->c_WriterFormat, "caps", first.get(), nullptr);
        return GST_PAD_PROBE_OK;
    }
    const GstStructure* structure = gst_caps_get_structure(caps, 0);
    int channels = 0;
    gst_structure_get_int(structure, "channels", &channels);
    const bool wide = WideSamples(structure, self->c_Graph.Decodes());
    if (channels > 2 && !gst_structure_has_field(structure, "channel-mask")) {
        if (const guint64 mask = DefaultChannelMask(channels); mask != 0) {
            GstCaps* placed = gst_caps_copy(caps);
            gst_caps_set_simple(placed, "channel-mask", GST_TYPE_BITMASK, mask, nullptr);
            GST_PAD_PROBE_INFO_DATA(pInfo) = gst_event_new_caps(placed);
            gst_caps_unref(placed);
            gst_event_unref(event);
        }
    }
    // Set before the converter sees the caps, so that it negotiates with the writer's new wish.
    g_object_set(self->c_WriterFormat, "caps",
                 WriterCaps(channels, wide).get(), nullptr);
    return GST_PAD_PROBE_OK;
}

// The demuxer for containers whose audio this filter decodes itself, or null for the general
// decoder. The general one puts a queue and a thread between demuxer and decoder, which costs a
// third of the time on a long file.
const char* DirectDemuxer(const gchar* pType) {
    if (g_strcmp0(pType, "application/ogg") == 0 || g_strcmp0(pType, "audio/ogg") == 0) return "oggdemux";
    if (g_strcmp0(pType, "audio/x-m4a") == 0 || g_strcmp0(pType, "video/quicktime") == 0) return "qtdemux";
    return nullptr;
}

// The decoder for an elementary audio stream, or null for the general one.
const char* DirectDecoder(GstCaps* pCaps) {
    if (pCaps == nullptr || gst_caps_get_size(pCaps) == 0) return nullptr;
    const GstStructure* s = gst_caps_get_structure(pCaps, 0);
    const gchar* type = gst_structure_get_name(s);
    int version = 0;
    const char* decoder = nullptr;
    if (g_strcmp0(type, "audio/x-vorbis") == 0)
        decoder = "vorbisdec";
    else if (g_strcmp0(type, "audio/mpeg") == 0 && gst_structure_get_int(s, "mpegversion", &version) &&
             version == 4)
        decoder = "avdec_aac";
    return decoder != nullptr && HasFactory(decoder) ? decoder : nullptr;
}

void GstFilter::OnHaveType(GstElement* pFind, guint, GstCaps* pCaps, gpointer pSelf) {
    auto* self = static_cast<GstFilter*>(pSelf);
    const GstStructure* structure = gst_caps_get_structure(pCaps, 0);
    const gchar* type = gst_structure_get_name(structure);
    if (self->c_Entry.Kind != FilterKind::Decoder) {
        int version = 0;
        if (g_strcmp0(type, "audio/mpeg") == 0 && gst_structure_get_int(structure, "mpegversion", &version) &&
            version == 1 && HasFactory("mpegaudioparse")) {
            GstElement* parse = self->AddInner("mpegaudioparse");
            if (parse == nullptr) return;
            gst_element_link(pFind, parse);
            PadPtr src(gst_element_get_static_pad(parse, "src"));
            OnPadAdded(parse, src.get(), self);
            return;
        }
        // AIFF-C with compressed samples (a-law, µ-law, IMA ADPCM, GSM) is beyond GStreamer's own
        // AIFF parser; libav's demuxer reads it.
        const bool libav = g_strcmp0(type, "audio/x-aiff") == 0 && HasFactory("avdemux_aiff") &&
                           !AiffParserReads(self->c_Graph.SourcePath());
        GstElement* parser = self->AddInner(libav ? "avdemux_aiff" : "parsebin");
        if (parser == nullptr) return;
        g_signal_connect(parser, "pad-added", G_CALLBACK(OnPadAdded), self);
        g_signal_connect(parser, "no-more-pads", G_CALLBACK(OnNoMorePads), self);
        gst_element_link(pFind, parser);
        return;
    }
    const char* demuxer = DirectDemuxer(type);
    if (demuxer != nullptr && !HasFactory(demuxer)) demuxer = nullptr;
    GstElement* next = Make(demuxer != nullptr ? demuxer : "decodebin");
    if (next == nullptr) return;
    g_signal_connect(next, "pad-added", G_CALLBACK(demuxer != nullptr ? OnDemuxedPad : OnPadAdded), self);
    g_signal_connect(next, "no-more-pads", G_CALLBACK(OnNoMorePads), self);
    // Linked before it starts, the demuxer finds that it may read the file at will: it then pulls,
    // and an Ogg stream ends where its last page says, not at the end of its last packet.
    gst_bin_add(GST_BIN(self->c_Bin), next);
    gst_element_link(pFind, next);
    gst_element_sync_state_with_parent(next);
}

void GstFilter::OnDemuxedPad(GstElement*, GstPad* pPad, gpointer pSelf) {
    auto* self = static_cast<GstFilter*>(pSelf);
    bool wanted = false;
    {
        std::lock_guard lock(self->c_Lock);
        wanted = !self->c_AudioBound && !self->c_AudioPending && IsAudio(pPad);
        // The first audio stream is the one: a general decoder may take a while to show its output.
        if (wanted) self->c_AudioPending = true;
    }
    if (!wanted) {
        Swallow(GST_BIN(self->c_Bin), pPad);
        return;
    }
    CapsPtr caps(gst_pad_get_current_caps(pPad));
    if (!caps) caps.reset(gst_pad_query_caps(pPad, nullptr));
    const char* direct = DirectDecoder(caps.get());
    GstElement* decoder = self->AddInner(direct != nullptr ? direct : "decodebin");
    if (decoder == nullptr) return;
    PadPtr sink(gst_element_get_static_pad(decoder, "sink"));
    gst_pad_link(pPad, sink.get());
    if (direct != nullptr) {
        PadPtr src(gst_element_get_static_pad(decoder, "src"));
        OnPadAdded(decoder, src.get(), self);
    } else {
        g_signal_connect(decoder, "pad-added", G_CALLBACK(OnPadAdded), self);
    }
}

void GstFilter::OnPadAdded(GstElement*, GstPad* pPad, gpointer pSelf) {
    auto* self = static_cast<GstFilter*>(pSelf);
    std::lock_guard lock(self->c_Lock);
    if (!self->c_AudioBound && IsAudio(pPad)) {
        int index = 0;
        int audio = self->AudioOutputIndex();
        for (auto& pin : self->c_Pins) {
            if (pin->Direction() != PinDirection::Output) continue;
            if (index++ != audio) continue;
            if (gst_ghost_pad_set_target(GST_GHOST_PAD(pin->Pad()), pPad)) {
                self->c_AudioBound = true;
                return;
            }
        }
    }
    Swallow(GST_BIN(self->c_Bin), pPad);
}

void GstFilter::OnNoMorePads(GstElement*, gpointer pSelf) {
    auto* self = static_cast<GstFilter*>(pSelf);
    std::lock_guard lock(self->c_Lock);
    if (self->c_AudioBound || self->c_AudioPending) return;
    // Nothing will ever flow: say so instead of leaving the graph to wait.
    const ErrorPtr error(
        g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_WRONG_TYPE, "no audio stream"));
    gst_element_post_message(self->c_Bin,
                             gst_message_new_error(GST_OBJECT(self->c_Bin), error.get(), nullptr));
}

// The media type of a file as its first bytes tell it (empty when they do not): what a file
// source announces on its output, and what a filter downstream may refuse.
std::string FileType(const std::string& pPath) {
    std::vector<std::uint8_t> head(kTypeBytes);
    const std::int64_t got = Support::ReadFileAtCounted(head.data(), head.size(), pPath, 0);
    if (got <= 0) return {};
    const CapsPtr caps(gst_type_find_helper_for_data(nullptr, head.data(), gsize(got), nullptr));
    if (!caps || gst_caps_get_size(caps.get()) == 0) return {};
    return gst_structure_get_name(gst_caps_get_structure(caps.get(), 0));
}

bool GstPin::Connect(Pin& pInput) {
    auto& input = static_cast<GstPin&>(pInput);
    if (c_Direction != PinDirection::Output || input.Direction() != PinDirection::Input) return false;
    if (gst_pad_is_linked(c_Ghost) || gst_pad_is_linked(input.Pad())) return false;
    GstElement* pipeline = c_Owner.Owner().Pipeline();
    const bool fromFile = c_Owner.Entry().Kind == FilterKind::FileSource;
    const std::vector<std::string>& accepts = input.Owner().Entry().Accepts;
    if (fromFile && !accepts.empty()) {
        // A filter that reads only some kinds of file refuses the others, as media types would.
        const std::string type = FileType(c_Owner.Location());
        if (!type.empty() && std::find(accepts.begin(), accepts.end(), type) == accepts.end()) return false;
    }
    if (input.Owner().WantsRaw() && !c_Owner.ProducesRaw()) {
        // The two sides do not fit: a decoder goes in between, as an intelligent connect would.
        // Straight from a file it is fed through a queue2: pushed to, the WAV parser also reads
        // MPEG audio inside RIFF, which it cannot do when it pulls (a plain queue can deadlock on
        // the source's allocation query).
        std::vector<GstElement*> inserted;
        if (fromFile) inserted.push_back(Make("queue2"));
        inserted.push_back(Make("decodebin"));
        for (GstElement* e : inserted)
            if (e != nullptr) gst_bin_add(GST_BIN(pipeline), e);
        auto undo = [&] {
            for (GstElement* e : inserted)
                if (e != nullptr) gst_bin_remove(GST_BIN(pipeline), e);
            return false;
        };
        if (std::find(inserted.begin(), inserted.end(), nullptr) != inserted.end()) return undo();
        if (inserted.size() == 2 && !gst_element_link(inserted[0], inserted[1])) return undo();
        const PadPtr sink(gst_element_get_static_pad(inserted.front(), "sink"));
        if (gst_pad_link(c_Ghost, sink.get()) != GST_PAD_LINK_OK) return undo();
        struct Route {
            static void Added(GstElement* pDecoder, GstPad* pPad, gpointer pTarget) {
                auto* target = static_cast<GstPad*>(pTarget);
                if (!gst_pad_is_linked(target) && IsAudio(pPad) &&
                    gst_pad_link(pPad, target) == GST_PAD_LINK_OK)
                    return;
                Swallow(GST_BIN(GST_ELEMENT_PARENT(pDecoder)), pPad);
            }
        };
        g_signal_connect(inserted.back(), "pad-added", G_CALLBACK(Route::Added), input.Pad());
        c_Inserted = std::move(inserted);
        return true;
    }
    return gst_pad_link(c_Ghost, input.Pad()) == GST_PAD_LINK_OK;
}

void GstPin::Disconnect() {
    // Pins are only taken apart in a stopped graph: unlinking under a paused one can wait for
    // ever on a streaming thread that is itself waiting to preroll.
    gst_element_set_state(c_Owner.Owner().Pipeline(), GST_STATE_NULL);
    const PadPtr peer(gst_pad_get_peer(c_Ghost));
    if (peer) gst_pad_unlink(c_Ghost, peer.get());
    for (GstElement* e : c_Inserted) {
        gst_element_set_state(e, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(c_Owner.Owner().Pipeline()), e);
    }
    c_Inserted.clear();
}

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
