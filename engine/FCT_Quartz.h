#pragma once

#include "engine/graph/FilterGraph.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// One media graph through its several interfaces, and the filter names its last scan chose.
// The five interfaces are one graph object; the names and flags survive a release.
struct QuartzGraph {
    std::shared_ptr<Graph::FilterGraph> RegFilters;
    std::shared_ptr<Graph::FilterGraph> MediaControl;
    std::shared_ptr<Graph::FilterGraph> MediaEvents;
    std::shared_ptr<Graph::FilterGraph> MediaPosition;
    std::shared_ptr<Graph::FilterGraph> BasicAudio;
    std::int32_t WmaDmoFound = 0;
    std::int32_t Mp3Decoder = 0;
    std::int32_t AacDecoder = 0;
    std::string RendererName;
    std::string SourceFilterName;
    std::string WaveParserName;
    std::string WavDestName;
    std::string FileWriterName;
};

// Graph building: chains of registered filters chosen by the file's type word, with fallbacks.
namespace FCT_Quartz {

using FilterChain = std::array<std::string, 5>;

inline constexpr std::array<const char*, 5> kRendererCandidates{
    "Default WaveOut Device", "既定の WaveOut デバイス", "既定の WAVE 出力デバイス",
    "既定の DirectSound デバイス", "Default DirectSound Device"};

// Later kinds of file (FLAC, Opus, WebM, Matroska) by their type word or extension: the general
// decoder reads them as it reads Ogg.
[[nodiscard]] bool IsLaterKind(const std::string& pType);

[[nodiscard]] int CreateGraph(QuartzGraph& pGraph);
int ReleaseGraph(QuartzGraph& pGraph);
int DisconnectAll(QuartzGraph& pGraph);
int ScanRegisteredFilters(int pOrder, QuartzGraph& pGraph);
[[nodiscard]] int SetupPinsToDecode(const std::string& pSource, const std::string& pTarget, int pAttempt,
                                    QuartzGraph& pGraph);
[[nodiscard]] int RenderPinsToDecode(const std::string& pSource, const std::string& pTarget,
                                     QuartzGraph& pGraph);
[[nodiscard]] int OpenDecodeGraph(const std::string& pSource, const std::string& pTarget,
                                  QuartzGraph& pGraph);
[[nodiscard]] int ConnectPin(const std::string& pUpstream, const std::string& pDownstream,
                             QuartzGraph& pGraph);

// The fallback ladder of the decoder and the player: attempt 0, attempt 1, then the runtime's own
// connection logic, each on a graph of its own that holds only what it needs (a filter left from
// an attempt that failed would read the source, or write the target, a second time). pGraph must
// be created; 1 when one of them connected. pLogFailures writes the decoder's "failed" lines.
[[nodiscard]] int BuildWithFallbacks(const std::string& pSource, const std::string& pTarget,
                                     QuartzGraph& pGraph, bool pLogFailures);

// The chain attempt pAttempt would build for pSource (sinks included); empty when it fails at once.
// pLast receives the index of its last entry, which counts even when its name is empty (a sink
// that is not registered), so that connecting reports it rather than stopping short of it.
[[nodiscard]] FilterChain ChooseChain(const std::string& pSource, const std::string& pTarget, int pAttempt,
                                      const QuartzGraph& pGraph, bool* pKnownType = nullptr,
                                      int* pLast = nullptr);

// Names match lower-cased and without surrounding spaces, as whole strings.
[[nodiscard]] bool SameFilterName(const std::string& pA, const std::string& pB);

} // namespace FCT_Quartz
