#pragma once

#include <functional>
#include <string>

// Making the WAV writer plugin available to the media runtime: the plugin file ships beside the
// executable and is copied into the user's plugin folder, which the runtime then rescans.
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
// Shows a standard (not centred) message box: pStyle is vbCritical or vbInformation. Tests
// capture the texts instead; an empty function returns to the real boxes.
using MessageShower = std::function<void(const std::string& pText, int pStyle)>;
void UseMessageShower(MessageShower pShower);

// There is no separate 32-bit component folder on Linux: always 0.
[[nodiscard]] int UsesSysWow64();
// ${XDG_DATA_HOME:-$HOME/.local/share}/gstreamer-1.0/plugins/ with a trailing "/".
[[nodiscard]] std::string ComponentFolder();
// The plugin file is checked with the runtime; any other file counts as registered.
[[nodiscard]] int IsComponentRegistered(const std::string& pName);
// 1 when the component ends in the wanted state. Failures end in one critical message box.
int RegisterComponent(const std::string& pName, int pUnregister, int pInPlace);

} // namespace Support
