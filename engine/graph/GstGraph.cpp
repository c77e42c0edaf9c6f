// Stands in for the runtime's filter graph: running, completion, errors, positions and the audio a
// graph plays. May include GStreamer; nothing outside engine/graph/ sees it.
#include "engine/graph/GstGraph.h"

#include "engine/graph/Catalogue.h"
#include "engine/graph/GstFilter.h"
#include "engine/graph/GstFlow.h"
#include "engine/graph/GstPin.h"
#include "support/FileIO.h"
#include "support/Log.h"

#include <gst/audio/audio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace Graph {

namespace {

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
        if (IsAudioDecoder(element)) {
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

} // namespace

GstGraph::GstGraph()
    : c_Pipeline(OwnPipeline(gst_pipeline_new(nullptr))) {
    if (c_Pipeline) g_signal_connect(c_Pipeline.get(), "deep-element-added", G_CALLBACK(OnAdded), this);
}

GstGraph::~GstGraph() {
    // The pipeline goes first: its streaming threads call into the filters' pads.
    c_Pipeline.reset();
    c_Filters.clear();
}

std::vector<std::string> GstGraph::RegisteredFilters() const {
    std::vector<std::string> names;
    for (const CatalogueEntry& entry : Catalogue()) {
        bool present = true;
        for (const std::string& factory : entry.Factories)
            present = present && HasFactory(factory);
        if (present) names.push_back(entry.Name);
    }
    return names;
}

Filter* GstGraph::AddFilter(const std::string& pRegisteredName) {
    const CatalogueEntry* entry = FindEntry(pRegisteredName);
    if (entry == nullptr || !c_Pipeline) return nullptr;
    auto filter = std::make_unique<GstFilter>(*this, *entry);
    if (!filter->Valid()) return nullptr;
    c_Filters.push_back(std::move(filter));
    return c_Filters.back().get();
}

std::vector<Filter*> GstGraph::Filters() {
    std::vector<Filter*> filters;
    for (auto& f : c_Filters)
        filters.push_back(f.get());
    return filters;
}

bool GstGraph::Run() {
    c_Completed = 0;
    return gst_element_set_state(Pipeline(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool GstGraph::Pause() {
    return gst_element_set_state(Pipeline(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
}

bool GstGraph::Stop() {
    // Stopping releases the files: the writer closes its output here.
    return gst_element_set_state(Pipeline(), GST_STATE_NULL) != GST_STATE_CHANGE_FAILURE;
}

GraphState GstGraph::State(int pTimeoutMs) {
    GstState state = GST_STATE_NULL;
    gst_element_get_state(Pipeline(), &state, nullptr, GstClockTime(pTimeoutMs) * GST_MSECOND);
    if (state == GST_STATE_PLAYING) return GraphState::Running;
    if (state == GST_STATE_PAUSED) return GraphState::Paused;
    return GraphState::Stopped;
}

long GstGraph::WaitForCompletion(int pTimeoutMs) {
    if (c_Completed != 0) return c_Completed;
    const BusPtr bus(gst_element_get_bus(Pipeline()));
    const MessagePtr message(gst_bus_timed_pop_filtered(bus.get(), GstClockTime(pTimeoutMs) * GST_MSECOND,
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

StreamFormat GstGraph::AudioFormat() {
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

double GstGraph::Duration() {
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

double GstGraph::CurrentPosition() {
    gint64 position = 0;
    if (gst_element_query_position(Pipeline(), GST_FORMAT_TIME, &position) && position >= 0)
        return double(position) / double(GST_SECOND);
    // A writer's byte stream has no time: ask what feeds the writer.
    for (auto& filter : c_Filters) {
        if (filter->Entry().Kind != FilterKind::WavWriter) continue;
        for (Pin* pin : filter->Pins())
            if (pin->Direction() == PinDirection::Input &&
                gst_pad_peer_query_position(static_cast<GstPin*>(pin)->Pad(), GST_FORMAT_TIME, &position) &&
                position >= 0)
                return double(position) / double(GST_SECOND);
    }
    return 0;
}

void GstGraph::CurrentPosition(double pSeconds) {
    Preroll();
    if (c_Completed == kEventErrorAbort) return;
    gst_element_seek_simple(Pipeline(), GST_FORMAT_TIME,
                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            gint64(std::max(0.0, pSeconds) * double(GST_SECOND)));
}

void GstGraph::Rate(double pRate) {
    c_Rate = pRate > 0 ? pRate : 1.0;
    GstState state = GST_STATE_NULL;
    gst_element_get_state(Pipeline(), &state, nullptr, 0);
    if (state < GST_STATE_PAUSED) return;
    gint64 position = 0;
    gst_element_query_position(Pipeline(), GST_FORMAT_TIME, &position);
    gst_element_seek(Pipeline(), c_Rate, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, GST_SEEK_TYPE_SET, position,
                     GST_SEEK_TYPE_NONE, 0);
}

void GstGraph::Volume(long pVolume) {
    c_Volume = std::clamp(pVolume, -10000L, 0L);
    // Hundredths of a decibel to a linear factor.
    const double linear = std::pow(10.0, double(c_Volume) / 2000.0);
    for (auto& f : c_Filters)
        if (f->Volume() != nullptr) g_object_set(f->Volume(), "volume", linear, nullptr);
}

void GstGraph::Balance(long pBalance) {
    c_Balance = std::clamp(pBalance, -10000L, 10000L);
    for (auto& f : c_Filters)
        if (f->Panorama() != nullptr)
            g_object_set(f->Panorama(), "panorama", float(c_Balance) / 10000.0f, nullptr);
}

std::string GstGraph::SourcePath() const {
    for (const auto& filter : c_Filters)
        if (filter->IsFileSource() && !filter->Location().empty()) return filter->Location();
    return {};
}

void GstGraph::OnAdded(GstBin*, GstBin*, GstElement* pElement, gpointer pSelf) {
    if (IsAudioDecoder(pElement)) static_cast<GstGraph*>(pSelf)->c_Decodes.store(true);
}

void GstGraph::TakeError(GstMessage* pMessage) {
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
void GstGraph::Preroll() {
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

} // namespace Graph
