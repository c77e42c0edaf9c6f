// Stands in for the runtime's streaming plumbing: making elements, watching data flow, waiting on
// a bus while it flows, sinking streams nobody asked for. May include GStreamer; only engine/graph/.
#pragma once

#include "engine/graph/GstPtr.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace Graph {

[[nodiscard]] bool HasFactory(const std::string& pName);
// A new element of pFactory (floating), or null when this machine has no such factory.
[[nodiscard]] GstElement* Make(const char* pFactory);
[[nodiscard]] bool IsAudio(GstPad* pPad);
// Whether pElement is an audio decoder, as its factory classes it.
[[nodiscard]] bool IsAudioDecoder(GstElement* pElement);

// Streams nobody asked for end in a sink of their own, so they never stop the others. pWatch,
// when given, sees every buffer that arrives there, from the first.
void Swallow(GstBin* pBin, GstPad* pPad, GstPadProbeCallback pWatch = nullptr, gpointer pData = nullptr);

// Counts in pCounter the buffers that pass pPad, pushed or pulled: the graph's sign of life.
void WatchFlow(GstPad* pPad, std::atomic<std::uint64_t>& pCounter);

// Waits on pPipeline's bus for one of pTypes while its file source reads. Null when the wait gave
// up: no progress for a while, or too long in all.
[[nodiscard]] MessagePtr WaitWhileFlowing(GstElement* pPipeline, GstMessageType pTypes,
                                          const std::atomic<std::uint64_t>& pFlow);

} // namespace Graph
