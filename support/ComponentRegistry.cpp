#include "support/ComponentRegistry.h"

#include "support/ErrorTrap.h"
#include "support/FileUtil.h"

#include <cstdlib>

namespace Support {

namespace {

class NoRegistry final : public ComponentRegistry {
public:
    bool WavDestRegistered() override { return false; }
    void Rescan(const std::string&) override {}
};

ComponentRegistry* g_Registry = nullptr;

} // namespace

void UseComponentRegistry(ComponentRegistry* pRegistry) {
    g_Registry = pRegistry;
}

ComponentRegistry& InstalledComponentRegistry() {
    static NoRegistry none;
    return g_Registry != nullptr ? *g_Registry : none;
}

int UsesSysWow64() {
    return 0;
}

std::string ComponentFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    // A relative XDG_DATA_HOME is invalid and counts as unset.
    const std::string data = xdg != nullptr && xdg[0] == '/'
                                 ? std::string(xdg)
                                 : std::string(home != nullptr ? home : "") + "/.local/share";
    return SetTrailingSeparator(data, 0) + "gstreamer-1.0/plugins/";
}

int IsComponentRegistered(const std::string& pName) {
    return Trapped(0, [&] {
        if (LowerCase(pName) != LowerCase(kWavDestFile)) return 1;
        return InstalledComponentRegistry().WavDestRegistered() ? 1 : 0;
    });
}

} // namespace Support
