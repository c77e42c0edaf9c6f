// Stands in for one registered filter: a GStreamer bin built from the table below, whose pins exist
// from the start. May include GStreamer; nothing outside engine/graph/ sees it.
#include "engine/graph/GstFilter.h"

#include "engine/graph/GstFlow.h"
#include "engine/graph/GstGraph.h"

#include <gst/audio/audio.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

namespace Graph {

namespace {

// Stand-ins in the table: the entry's own decoder, and the renderer's sound output.
constexpr const char* kEntryDecoder = "(decoder)";
constexpr const char* kSoundOutput = "(output)";
// Left out where it is not installed: the balance then stays in the middle.
constexpr const char* kPanorama = "audiopanorama";

// Where a filter's output pins lead: nowhere, to the last element's source, or to the streams the
// filter finds in what it reads, bound as they appear.
enum class Outputs { None, Last, Found };

struct Layout {
    FilterKind Kind;
    // The first element's sink is the input pin.
    bool Input;
    Outputs Output;
    // Linked in this order.
    std::vector<const char*> Elements;
};

// Each kind of filter as the elements inside its bin. Parsers, splitters and decoders add the rest
// when they see what arrives (see OnHaveType).
// clang-format off
const std::vector<Layout> kLayouts{
    // kind                   input  outputs         elements
    {FilterKind::FileSource,  false, Outputs::Last,  {"filesrc"}},
    {FilterKind::SourceSplit, false, Outputs::Found, {"filesrc", "parsebin"}},
    {FilterKind::Parser,      true,  Outputs::Found, {"typefind"}},
    {FilterKind::Splitter,    true,  Outputs::Found, {"typefind"}},
    {FilterKind::Decoder,     true,  Outputs::Found, {"typefind"}},
    {FilterKind::MpegDecoder, true,  Outputs::Last,  {"mpegaudioparse", kEntryDecoder, "capsfilter"}},
    {FilterKind::PassThrough, true,  Outputs::Last,  {"identity"}},
    // The resampler is only at work when a stream changes its rate part-way: the file keeps the first.
    {FilterKind::WavWriter,   true,  Outputs::Last,  {"audioconvert", "audioresample", "capsfilter",
                                                      "wavdest"}},
    {FilterKind::FileWriter,  true,  Outputs::None,  {"filesink"}},
    {FilterKind::Renderer,    true,  Outputs::None,  {"audioconvert", "audioresample", "volume", kPanorama,
                                                      "audioconvert", kSoundOutput}},
};
// clang-format on

const Layout* LayoutOf(FilterKind pKind) {
    for (const Layout& layout : kLayouts)
        if (layout.Kind == pKind) return &layout;
    return nullptr;
}

// The first of pElements made by pFactory.
GstElement* Inner(const std::vector<GstElement*>& pElements, const char* pFactory) {
    for (GstElement* e : pElements)
        if (g_strcmp0(GST_OBJECT_NAME(gst_element_get_factory(e)), pFactory) == 0) return e;
    return nullptr;
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

} // namespace

GstFilter::GstFilter(GstGraph& pGraph, const CatalogueEntry& pEntry)
    : c_Graph(pGraph)
    , c_Entry(pEntry) {
    // Built on its own and handed to the pipeline only whole: a refused filter leaves nothing
    // behind, not even a decoder the graph would count.
    const ElementPtr bin(OwnElement(gst_bin_new(nullptr)));
    c_Bin = bin.get();
    if (Build()) {
        gst_bin_add(GST_BIN(c_Graph.Pipeline()), c_Bin);
        return;
    }
    c_Pins.clear();
    c_Bin = nullptr;
}

std::vector<Pin*> GstFilter::Pins() {
    std::vector<Pin*> pins;
    for (auto& p : c_Pins)
        pins.push_back(p.get());
    return pins;
}

bool GstFilter::Filename(const std::string& pPath) {
    if (c_FileSource == nullptr) return false;
    g_object_set(c_FileSource, "location", pPath.c_str(), nullptr);
    c_Location = pPath;
    return true;
}

bool GstFilter::SetFileName(const std::string& pPath) {
    if (c_FileSink == nullptr) return false;
    g_object_set(c_FileSink, "location", pPath.c_str(), nullptr);
    return true;
}

int GstFilter::AudioOutputIndex() const {
    // The output the pin choice will take.
    return PreferredOutput(c_Entry.Outputs);
}

bool GstFilter::AddGhost(const std::string& pName, PinDirection pDirection, GstElement* pInner) {
    const bool input = pDirection == PinDirection::Input;
    // Without pInner, the pin waits for a stream the filter finds later.
    const PadPtr target(pInner != nullptr ? gst_element_get_static_pad(pInner, input ? "sink" : "src")
                                          : nullptr);
    if (pInner != nullptr && !target) return false;
    GstPad* ghost = target ? gst_ghost_pad_new(pName.c_str(), target.get())
                           : gst_ghost_pad_new_no_target(pName.c_str(), input ? GST_PAD_SINK : GST_PAD_SRC);
    if (ghost == nullptr) return false;
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(c_Bin, ghost);
    c_Pins.push_back(std::make_unique<GstPin>(*this, ghost, pDirection, pName));
    return true;
}

// What a name in the table stands for here.
std::string GstFilter::Factory(const std::string& pTableName) const {
    if (pTableName == kEntryDecoder) return c_Entry.Decoder;
    if (pTableName != kSoundOutput) return pTableName;
    if (c_Entry.Factories.back() == "pulsesink") return "pulsesink";
    return AudioOutputOpens() ? "autoaudiosink" : "fakesink";
}

bool GstFilter::Build() {
    const Layout* layout = LayoutOf(c_Entry.Kind);
    if (layout == nullptr) return false;
    std::vector<GstElement*> elements;
    for (const char* name : layout->Elements) {
        const std::string factory = Factory(name);
        if (factory == kPanorama && !HasFactory(factory)) continue;
        // A missing part refuses the whole filter: its pins would lead nowhere.
        GstElement* e = Make(factory.c_str());
        if (e == nullptr) return false;
        gst_bin_add(GST_BIN(c_Bin), e);
        elements.push_back(e);
    }
    // Before linking: a format set here is one the links must fit.
    Prepare(elements);
    for (std::size_t i = 1; i < elements.size(); ++i)
        if (!gst_element_link(elements[i - 1], elements[i])) return false;
    const std::string in = c_Entry.Inputs.empty() ? std::string() : c_Entry.Inputs.front();
    if (layout->Input && !AddGhost(in, PinDirection::Input, elements.front())) return false;
    if (layout->Output == Outputs::Last)
        return AddGhost(c_Entry.Outputs.front(), PinDirection::Output, elements.back());
    if (layout->Output == Outputs::Found)
        for (const std::string& name : c_Entry.Outputs)
            if (!AddGhost(name, PinDirection::Output, nullptr)) return false;
    return true;
}

// What each kind sets on its elements and keeps of them.
void GstFilter::Prepare(const std::vector<GstElement*>& pElements) {
    auto pad = [](GstElement* pElement, const char* pName) {
        return PadPtr(gst_element_get_static_pad(pElement, pName));
    };
    switch (c_Entry.Kind) {
    case FilterKind::FileSource:
    case FilterKind::SourceSplit: {
        c_FileSource = Inner(pElements, "filesrc");
        WatchFlow(pad(c_FileSource, "src").get(), c_Graph.Flow());
        if (GstElement* split = Inner(pElements, "parsebin"); split != nullptr) {
            g_signal_connect(split, "pad-added", G_CALLBACK(OnPadAdded), this);
            g_signal_connect(split, "no-more-pads", G_CALLBACK(OnNoMorePads), this);
        }
        break;
    }
    case FilterKind::Decoder:
    case FilterKind::Parser:
    case FilterKind::Splitter:
        // What arrives decides the inner elements: see OnHaveType.
        g_signal_connect(Inner(pElements, "typefind"), "have-type", G_CALLBACK(OnHaveType), this);
        break;
    case FilterKind::MpegDecoder: {
        // The decoder's own 16-bit output: no float round trip on the way to the writer.
        const CapsPtr caps(gst_caps_from_string("audio/x-raw,format=S16LE"));
        g_object_set(Inner(pElements, "capsfilter"), "caps", caps.get(), nullptr);
        break;
    }
    case FilterKind::PassThrough:
        break;
    case FilterKind::WavWriter: {
        GstElement* convert = Inner(pElements, "audioconvert");
        // Deterministic integer output: no dither, no noise shaping.
        g_object_set(convert, "dithering", 0, "noise-shaping", 0, nullptr);
        c_WriterFormat = Inner(pElements, "capsfilter");
        gst_pad_add_probe(pad(convert, "sink").get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnWriterCaps, this,
                          nullptr);
        break;
    }
    case FilterKind::FileWriter:
        c_FileSink = Inner(pElements, "filesink");
        g_object_set(c_FileSink, "sync", FALSE, "async", FALSE, nullptr);
        break;
    case FilterKind::Renderer:
        c_Volume = Inner(pElements, "volume");
        c_Panorama = Inner(pElements, kPanorama);
        if (GstElement* sink = Inner(pElements, "fakesink"); sink != nullptr)
            g_object_set(sink, "sync", TRUE, nullptr);
        break;
    }
}

GstElement* GstFilter::AddInner(const char* pFactory) {
    GstElement* e = Make(pFactory);
    if (e == nullptr) return nullptr;
    gst_bin_add(GST_BIN(c_Bin), e);
    gst_element_sync_state_with_parent(e);
    return e;
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
    g_object_set(self->c_WriterFormat, "caps", WriterCaps(channels, wide).get(), nullptr);
    return GST_PAD_PROBE_OK;
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

} // namespace Graph
