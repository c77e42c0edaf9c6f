#pragma once

#include "support/ComponentRegistry.h"

#include <functional>
#include <string>

// Making the WAV writer plugin available to the media runtime: the plugin file ships beside the
// executable and is copied into the user's plugin folder, which the runtime then rescans.
namespace Support {

// Shows a standard (not centred) message box: pStyle is vbCritical or vbInformation. Tests
// capture the texts instead; an empty function returns to the real boxes.
using MessageShower = std::function<void(const std::string& pText, int pStyle)>;
void UseMessageShower(MessageShower pShower);

// 1 when the component ends in the wanted state. Failures end in one critical message box.
int RegisterComponent(const std::string& pName, int pUnregister, int pInPlace);

} // namespace Support
