#include "support/WindowPlacement.h"

#include "support/Settings.h"

#include <cmath>

namespace Support {

namespace {

// A stored number, or the default when the text is not one.
double ReadNumber(const std::string& pKey, double pDefault) {
    const std::string text = ReadSetting(pKey, float(pDefault));
    try {
        std::size_t used = 0;
        const double v = std::stod(text, &used);
        return used > 0 && std::isfinite(v) ? v : pDefault;
    } catch (...) {
        return pDefault;
    }
}

} // namespace

void LoadWindowPlacement(PlacementForm& pForm, const std::string& pSuffix, bool pSkipSize, bool pSkipState,
                         bool pSkipPosition) {
    if (pForm.WindowState() == kStateNormal) {
        if (!pSkipPosition) {
            double left = ReadNumber("WindowLeft" + pSuffix, pForm.Left());
            double top = ReadNumber("WindowTop" + pSuffix, pForm.Top());
            if (left < 0 || left > pForm.ScreenWidth()) left = 0;
            if (top < 0 || top > pForm.ScreenHeight()) top = 0;
            pForm.Move(left, top);
        }
        if (!pSkipSize) {
            pForm.Height(ReadNumber("WindowHeight" + pSuffix, pForm.Height()));
            pForm.Width(ReadNumber("WindowWidth" + pSuffix, pForm.Width()));
        }
    }
    if (!pSkipState) {
        const double state = ReadNumber("WindowState" + pSuffix, pForm.WindowState());
        if (state >= 0 && state <= 2) pForm.WindowState(int(state));
    }
}

void SaveWindowPlacement(const PlacementForm& pForm, const std::string& pSuffix, bool pSkipSize,
                         bool pSkipState) {
    if (pForm.WindowState() == kStateNormal) {
        WriteSetting("WindowLeft" + pSuffix, float(pForm.Left()));
        WriteSetting("WindowTop" + pSuffix, float(pForm.Top()));
        if (!pSkipSize) {
            WriteSetting("WindowHeight" + pSuffix, float(pForm.Height()));
            WriteSetting("WindowWidth" + pSuffix, float(pForm.Width()));
        }
    }
    if (!pSkipState) WriteSetting("WindowState" + pSuffix, std::int16_t(pForm.WindowState()));
}

} // namespace Support
