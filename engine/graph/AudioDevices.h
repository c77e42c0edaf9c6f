#pragma once

#include <string>
#include <vector>

namespace Graph {

// Initialises the media runtime once per process; false when it cannot start.
bool EnsureRuntime();

// Makes the project's own GStreamer plugin (the WAV writer beside the executable) available
// when the registry does not know it yet.
void LoadProgramPlugins();

// Display names of this machine's audio sinks (or sources, with pInput), in the runtime's order.
[[nodiscard]] std::vector<std::string> AudioDeviceNames(bool pInput);

} // namespace Graph
