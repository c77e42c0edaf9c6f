#pragma once

namespace Graph {

// Installs the GStreamer registry as the program's component registry.
void InstallComponentRegistry();

} // namespace Graph
