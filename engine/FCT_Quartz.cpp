#include "engine/FCT_Quartz.h"

#include "engine/WaveMMIO.h"
#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/Log.h"

#include <QString>

namespace FCT_Quartz {

namespace {

constexpr const char* kSourceFilter = "File Source (Async.)";
constexpr const char* kWaveParser = "Wave Parser";
constexpr const char* kFileWriter = "File writer";
constexpr const char* kWavDest = "WAV Dest";
constexpr const char* kRecorderWavDest = "AudioRecorder WAV Dest";

std::string Normal(const std::string& pName) {
    return Support::LowerCase(QString::fromStdString(pName).trimmed().toStdString());
}

void Log(const std::string& pText) {
    Support::WriteLog(pText, 0);
}

std::shared_ptr<Graph::FilterGraph> GraphOf(const QuartzGraph& pGraph) {
    return pGraph.MediaControl;
}

// Adds every registered filter whose name is among pNames[0 .. pLast], passing the source path to
// a file source and the target path to the file writer. With pStopWhenAll, stops once each name
// has been matched.
void AddFilters(const std::string& pSource, const std::string& pTarget, const FilterChain& pNames, int pLast,
                QuartzGraph& pGraph, bool pStopWhenAll) {
    const auto graph = GraphOf(pGraph);
    if (!graph) return;
    int count = 0;
    for (const std::string& registered : graph->RegisteredFilters()) {
        for (int i = 0; i <= pLast; ++i) {
            if (!SameFilterName(registered, pNames[std::size_t(i)])) continue;
            Graph::Filter* filter = graph->AddFilter(registered);
            if (filter != nullptr) {
                if (filter->IsFileSource())
                    filter->Filename(pSource);
                else if (!pTarget.empty() && SameFilterName(registered, pGraph.FileWriterName))
                    filter->SetFileName(pTarget);
            }
            ++count;
            if (pStopWhenAll && count == pLast + 1) return;
        }
    }
}

} // namespace

bool SameFilterName(const std::string& pA, const std::string& pB) {
    return Normal(pA) == Normal(pB);
}

bool IsLaterKind(const std::string& pType) {
    for (const char* kind : {"flac", "opus", "oga", "webm", "mka"})
        if (pType == kind) return true;
    return false;
}

int CreateGraph(QuartzGraph& pGraph) {
    return Support::Trapped(0, [&] {
        auto graph = Graph::CurrentRuntime().CreateGraph();
        if (!graph) return 0;
        pGraph.MediaControl = graph;
        pGraph.RegFilters = graph;
        pGraph.MediaEvents = graph;
        pGraph.MediaPosition = graph;
        pGraph.BasicAudio = graph;
        return 1;
    });
}

int ReleaseGraph(QuartzGraph& pGraph) {
    DisconnectAll(pGraph);
    pGraph.MediaEvents.reset();
    pGraph.MediaPosition.reset();
    pGraph.BasicAudio.reset();
    pGraph.RegFilters.reset();
    pGraph.MediaControl.reset();
    return 1;
}

int DisconnectAll(QuartzGraph& pGraph) {
    return Support::Trapped(0, [&] {
        const auto graph = GraphOf(pGraph);
        if (!graph) return 0;
        for (Graph::Filter* filter : graph->Filters())
            for (Graph::Pin* pin : filter->Pins())
                if (pin->Direction() == Graph::PinDirection::Output) pin->Disconnect();
        return 1;
    });
}

int ScanRegisteredFilters(int pOrder, QuartzGraph& pGraph) {
    pGraph.SourceFilterName = kSourceFilter;
    pGraph.WaveParserName = kWaveParser;
    pGraph.FileWriterName = kFileWriter;
    const auto graph = pGraph.RegFilters;
    if (!graph) return 0;
    const std::vector<std::string> registered = graph->RegisteredFilters();

    const int n = int(kRendererCandidates.size());
    for (int k = 0; k < n; ++k) {
        const std::string candidate = kRendererCandidates[std::size_t(pOrder == 1 ? n - 1 - k : k)];
        bool found = false;
        for (const std::string& name : registered)
            if (SameFilterName(name, candidate)) found = true;
        if (found) {
            pGraph.RendererName = candidate;
            break;
        }
    }

    pGraph.WmaDmoFound = 0;
    pGraph.Mp3Decoder = 0;
    pGraph.AacDecoder = 0;
    for (const std::string& name : registered) {
        if (SameFilterName(name, kWavDest)) {
            if (pGraph.WavDestName.empty()) pGraph.WavDestName = kWavDest;
        } else if (SameFilterName(name, kRecorderWavDest)) {
            pGraph.WavDestName = kRecorderWavDest;
        } else if (SameFilterName(name, "MPEG Layer-3 Decoder")) {
            pGraph.Mp3Decoder = 1;
        } else if (SameFilterName(name, "MP3 Decoder DMO")) {
            if (pGraph.Mp3Decoder == 0) pGraph.Mp3Decoder = 2;
        } else if (SameFilterName(name, "WMAudio Decoder DMO")) {
            pGraph.WmaDmoFound = 1;
        } else if (pGraph.AacDecoder < 2) {
            if (SameFilterName(name, "Microsoft DTV-DVD Audio Decoder"))
                pGraph.AacDecoder = 1;
            else if (SameFilterName(name, "ffdshow Audio Decoder"))
                pGraph.AacDecoder = 2;
        }
    }
    return 1;
}

FilterChain ChooseChain(const std::string& pSource, const std::string& pTarget, int pAttempt,
                        const QuartzGraph& pGraph, bool* pKnownType, int* pLast) {
    if (pKnownType != nullptr) *pKnownType = true;
    if (pLast != nullptr) *pLast = -1;
    const std::string type = WaveMMIO::WaveFileType(pSource);
    const std::string& src = pGraph.SourceFilterName;
    FilterChain chain{};
    auto set = [&chain](std::initializer_list<std::string> pNames) {
        std::size_t i = 0;
        for (const std::string& name : pNames)
            chain[i++] = name;
    };
    const auto none = FilterChain{};
    auto is = [&type](std::initializer_list<const char*> pTypes) {
        for (const char* t : pTypes)
            if (type == t) return true;
        return false;
    };
    if (is({"wav", "aiff", "aif"})) {
        if (pAttempt == 1) return none;
        set({src, pGraph.WaveParserName});
    } else if (is({"mp1", "mp2", "mpa", "mpg", "mpeg"})) {
        if (pAttempt == 1) return none;
        set({src, "MPEG-I Stream Splitter", "MPEG Audio Decoder"});
    } else if (type == "mp3") {
        std::string decoder = "acm wrapper";
        if (pAttempt == 0 && pGraph.Mp3Decoder == 1) decoder = "MPEG Layer-3 Decoder";
        if (pAttempt == 0 && pGraph.Mp3Decoder == 2) decoder = "MP3 Decoder DMO";
        set({src, "MPEG-I Stream Splitter", decoder});
    } else if (is({"mp4", "m4a"})) {
        if (pGraph.AacDecoder == 1)
            set({src, "Haali Media Splitter (AR)", "Microsoft DTV-DVD Audio Decoder"});
        else if (pGraph.AacDecoder == 2)
            set({src, "ffdshow Audio Decoder"});
        else
            set({src});
    } else if (type == "aac") {
        set({src, "MainConcept (Adobe2) Stream Parser", "MainConcept (Adobe2) AAC Decoder"});
    } else if (type == "ogg") {
        set({src, "ffdshow Audio Decoder"});
    } else if (IsLaterKind(type)) {
        set({src, "ffdshow Audio Decoder"});
    } else if (is({"wma", "asf", "wmariff", "wmv"})) {
        const bool dmo = pAttempt == 0 ? pGraph.WmaDmoFound == 1 : pGraph.WmaDmoFound == 0;
        if (!dmo)
            set({"Windows Media Source Filter", "ASF ACM Handler", "Windows Media Audio Decoder"});
        else if (type == "wmariff")
            set({src, pGraph.WaveParserName, "WMAudio Decoder DMO"});
        else
            set({"WM ASF Reader", "WMAudio Decoder DMO"});
    } else if (is({"mid", "smf"})) {
        // MIDI only plays; its chain ends in the MIDI device and takes no sink.
        if (!pTarget.empty()) return none;
        set({src, "MIDI Parser", "Default MidiOut Device"});
        if (pLast != nullptr) *pLast = 2;
        return chain;
    } else {
        if (pKnownType != nullptr) *pKnownType = false;
        return none;
    }
    std::size_t i = 0;
    while (i < chain.size() && !chain[i].empty())
        ++i;
    if (pTarget.empty()) {
        chain[i] = pGraph.RendererName;
        if (pLast != nullptr) *pLast = int(i);
    } else {
        chain[i] = pGraph.WavDestName;
        chain[i + 1] = pGraph.FileWriterName;
        if (pLast != nullptr) *pLast = int(i + 1);
    }
    return chain;
}

int SetupPinsToDecode(const std::string& pSource, const std::string& pTarget, int pAttempt,
                      QuartzGraph& pGraph) {
    return Support::Trapped(0, [&] {
        bool known = true;
        int last = -1;
        const FilterChain chain = ChooseChain(pSource, pTarget, pAttempt, pGraph, &known, &last);
        if (!known) {
            Log("SetupPinsToDecode Unknown Filetype #" + pSource);
            return 0;
        }
        if (last < 0 || chain[0].empty()) return 0;
        AddFilters(pSource, pTarget, chain, last, pGraph, true);
        for (int i = 0; i < last; ++i) {
            const std::string& a = chain[std::size_t(i)];
            const std::string& b = chain[std::size_t(i + 1)];
            if (!ConnectPin(a, b, pGraph)) {
                Log("SetupPinsToDecode " + a + "#" + b + " connect failed");
                return 0;
            }
        }
        return 1;
    });
}

int RenderPinsToDecode(const std::string& pSource, const std::string& pTarget, QuartzGraph& pGraph) {
    return Support::Trapped(0, [&] {
        FilterChain names{};
        names[0] = pGraph.SourceFilterName;
        int last = 1;
        if (!pTarget.empty()) {
            names[1] = pGraph.WavDestName;
            names[2] = pGraph.FileWriterName;
            last = 2;
        } else {
            names[1] = pGraph.RendererName;
        }
        AddFilters(pSource, pTarget, names, last, pGraph, false);
        if (!pTarget.empty() && !ConnectPin(names[1], names[2], pGraph)) {
            Log("RenderPinsToDecode " + names[1] + "#" + names[2] + " connect failed");
            return 0;
        }
        if (!ConnectPin(names[0], names[1], pGraph)) {
            Log("RenderPinsToDecode " + names[0] + "#" + names[1] + " connect failed");
            return 0;
        }
        return 1;
    });
}

int BuildWithFallbacks(const std::string& pSource, const std::string& pTarget, QuartzGraph& pGraph,
                       bool pLogFailures) {
    // A graph that could not be made holds no filter: the attempt on it fails and says so.
    auto fresh = [&pGraph] {
        ReleaseGraph(pGraph);
        (void)CreateGraph(pGraph);
    };
    if (SetupPinsToDecode(pSource, pTarget, 0, pGraph)) return 1;
    if (pLogFailures) Log("SetupPinsToDecode failed 0");
    fresh();
    if (SetupPinsToDecode(pSource, pTarget, 1, pGraph)) return 1;
    if (pLogFailures) Log("SetupPinsToDecode failed 1");
    fresh();
    if (RenderPinsToDecode(pSource, pTarget, pGraph)) return 1;
    if (pLogFailures) Log("RenderPinsToDecode failed");
    return 0;
}

int OpenDecodeGraph(const std::string& pSource, const std::string& pTarget, QuartzGraph& pGraph) {
    return Support::Trapped(0, [&] {
        if (pGraph.MediaControl) pGraph.MediaControl->Stop();
        ReleaseGraph(pGraph);
        (void)CreateGraph(pGraph);
        if (!BuildWithFallbacks(pSource, pTarget, pGraph, true)) return 0;
        pGraph.MediaEvents = pGraph.MediaControl;
        pGraph.MediaPosition = pGraph.MediaControl;
        if (!pGraph.MediaControl || !pGraph.MediaControl->Run()) return 0;
        return 1;
    });
}

int ConnectPin(const std::string& pUpstream, const std::string& pDownstream, QuartzGraph& pGraph) {
    const auto graph = GraphOf(pGraph);
    int found[2] = {0, 0};
    int count[2] = {0, 0};
    int set[2] = {0, 0};
    Graph::Pin* out = nullptr;
    Graph::Pin* in = nullptr;
    const int result = Support::Trapped(-1, [&] {
        if (!graph) return -1;
        for (Graph::Filter* filter : graph->Filters()) {
            const std::string name = filter->Name();
            if (SameFilterName(name, pUpstream)) {
                found[0] = 1;
                std::vector<Graph::Pin*> outputs;
                std::vector<std::string> ids;
                for (Graph::Pin* pin : filter->Pins()) {
                    if (pin->Direction() != Graph::PinDirection::Output) continue;
                    outputs.push_back(pin);
                    ids.push_back(pin->PinID());
                }
                count[0] = int(outputs.size());
                if (!outputs.empty()) {
                    // Of several outputs, the audio stream (or the second stream) is the one to decode.
                    out = outputs[Graph::PreferredOutput(ids)];
                    set[0] = 1;
                }
                if (set[0] == 1 && set[1] == 1) break;
            } else if (SameFilterName(name, pDownstream)) {
                found[1] = 1;
                count[1] = 0;
                for (Graph::Pin* pin : filter->Pins()) {
                    ++count[1];
                    if (pin->Direction() == Graph::PinDirection::Input) {
                        in = pin;
                        set[1] = 1;
                        break;
                    }
                }
                if (set[0] == 1) break;
            }
        }
        for (int side = 0; side < 2; ++side)
            if (set[side] == 0) {
                Log("Pin not set " + pUpstream + "#" + pDownstream + " l=" + std::to_string(side) +
                    " tFound=" + std::to_string(found[side]) + " tNumPin=" + std::to_string(count[side]));
                return 0;
            }
        return out->Connect(*in) ? 1 : -1;
    });
    if (result >= 0) return result;
    Log("ConnectPin err " + pUpstream + "#" + pDownstream);
    return 0;
}

} // namespace FCT_Quartz
