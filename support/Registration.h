#pragma once

#include "support/ComponentRegistry.h"

#include <string>

// Making the WAV writer plugin available to the media runtime: the plugin file ships beside the
// executable and is copied into the user's plugin folder, which the runtime then rescans.
namespace Support {

// 1 when the component ends in the wanted state. Failures end in one critical message box.
[[nodiscard]] int RegisterComponent(const std::string& pName, int pUnregister, int pInPlace);

} // namespace Support
