#pragma once

#include <string>

// Whether the WAV writer plugin is known to the media runtime, without any window: the engine
// and the command-line front end use this half; registering with its message boxes is apart.
namespace Support {

inline constexpr const char* kWavDestFile = "libgstwavdest.so";

// What the media runtime knows about components; the graph layer installs the real one.
class ComponentRegistry {
public:
    virtual ~ComponentRegistry() = default;
    // Whether the runtime holds a factory with the long name "WAV Dest" from an existing file.
    [[nodiscard]] virtual bool WavDestRegistered() = 0;
    // Makes the runtime look at the plugins in pFolder (with a trailing "/").
    virtual void Rescan(const std::string& pFolder) = 0;
};

// Not owned; null returns to a registry that knows nothing and scans nothing.
void UseComponentRegistry(ComponentRegistry* pRegistry);
// The registry in use (the one that knows nothing when none is installed).
[[nodiscard]] ComponentRegistry& InstalledComponentRegistry();

// There is no separate 32-bit component folder on Linux: always 0.
[[nodiscard]] int UsesSysWow64();
// ${XDG_DATA_HOME:-$HOME/.local/share}/gstreamer-1.0/plugins/ with a trailing "/".
[[nodiscard]] std::string ComponentFolder();
// The plugin file is checked with the runtime; any other file counts as registered.
[[nodiscard]] int IsComponentRegistered(const std::string& pName);

} // namespace Support
