// Stands in for the media-graph runtime's automation interfaces: registered filters, filters,
// pins, and a graph that runs, reports completion and positions. No GStreamer here.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace Graph {

enum class PinDirection { Input = 0, Output = 1 };

class Pin {
public:
    virtual ~Pin() = default;
    [[nodiscard]] virtual PinDirection Direction() const = 0;
    [[nodiscard]] virtual std::string PinID() const = 0;
    // Joins this output pin to pInput, inserting what the two sides need in between. False when
    // the runtime refuses.
    [[nodiscard]] virtual bool Connect(Pin& pInput) = 0;
    virtual void Disconnect() = 0;
};

class Filter {
public:
    virtual ~Filter() = default;
    [[nodiscard]] virtual std::string Name() const = 0;
    [[nodiscard]] virtual std::vector<Pin*> Pins() = 0;
    [[nodiscard]] virtual bool IsFileSource() const = 0;
    // A file source opens this file.
    virtual bool Filename(const std::string& pPath) = 0;
    // A file writer writes the graph's output here; false for filters that write no file.
    virtual bool SetFileName(const std::string& pPath) = 0;
};

// Of a filter's output pins (their identifiers, in order), the one a chain connects: the first
// whose identifier, lower-cased and without blanks, holds "audio", or both "1" and "stream";
// else the first.
[[nodiscard]] std::size_t PreferredOutput(const std::vector<std::string>& pOutputIds);

enum class GraphState { Stopped = 0, Paused = 1, Running = 2 };

// The audio a graph plays: the codec's short name ("flac", "opus", "vorbis"; empty when none
// decodes), and the decoded rate, channels and bits (0 for floating point). All 0 when unknown.
struct StreamFormat {
    std::string Codec;
    int Rate = 0;
    int Channels = 0;
    int Bits = 0;
};

// Event codes WaitForCompletion reports.
inline constexpr long kEventComplete = 1;
inline constexpr long kEventErrorAbort = 3;

class FilterGraph {
public:
    virtual ~FilterGraph() = default;
    // Friendly names of every filter this machine can add, in the runtime's order.
    [[nodiscard]] virtual std::vector<std::string> RegisteredFilters() const = 0;
    // Adds a new instance of a registered filter; null when the name is not registered.
    virtual Filter* AddFilter(const std::string& pRegisteredName) = 0;
    [[nodiscard]] virtual std::vector<Filter*> Filters() = 0;

    virtual bool Run() = 0;
    virtual bool Pause() = 0;
    virtual bool Stop() = 0;
    [[nodiscard]] virtual GraphState State(int pTimeoutMs) = 0;
    // Waits up to pTimeoutMs for the graph to complete or abort; 0 when it has done neither.
    [[nodiscard]] virtual long WaitForCompletion(int pTimeoutMs) = 0;
    // After an abort: whether the file is of a kind recognised here that nothing installed reads.
    [[nodiscard]] virtual bool NoReader() const { return false; }

    // What reaches the renderer of a playback graph, once it has its first data.
    [[nodiscard]] virtual StreamFormat AudioFormat() { return {}; }
    // Seconds.
    [[nodiscard]] virtual double Duration() = 0;
    [[nodiscard]] virtual double CurrentPosition() = 0;
    virtual void CurrentPosition(double pSeconds) = 0;
    [[nodiscard]] virtual double Rate() = 0;
    virtual void Rate(double pRate) = 0;
    // Hundredths of a decibel.
    [[nodiscard]] virtual long Volume() = 0;
    virtual void Volume(long pVolume) = 0;
    [[nodiscard]] virtual long Balance() = 0;
    virtual void Balance(long pBalance) = 0;
};

// Makes new, empty graphs. The process uses the GStreamer runtime unless a test installs another.
class Runtime {
public:
    virtual ~Runtime() = default;
    [[nodiscard]] virtual std::shared_ptr<FilterGraph> CreateGraph() = 0;
};

[[nodiscard]] Runtime& CurrentRuntime();
// Installs pRuntime for the whole process (not owned); null returns to the GStreamer runtime.
void UseRuntime(Runtime* pRuntime);

} // namespace Graph
