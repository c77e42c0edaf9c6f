#include "controls/Palette.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace Palette {

namespace {

// A quiet light theme: near-white surfaces, cool greys, dark grey text.
constexpr std::array<QRgb, 25> kSystemColors = {
    0xFFE8EAED, // 0 scroll bars
    0xFF3A3F47, // 1 desktop
    0xFF5B6B8C, // 2 active caption
    0xFFC9CED6, // 3 inactive caption
    0xFFF5F6F8, // 4 menu bar
    0xFFFFFFFF, // 5 window background
    0xFF7A808A, // 6 window frame
    0xFF24272C, // 7 menu text
    0xFF24272C, // 8 window text
    0xFFFFFFFF, // 9 caption text
    0xFFD4D8DE, // 10 active border
    0xFFD4D8DE, // 11 inactive border
    0xFFE9EBEE, // 12 application workspace
    0xFFC7D6EC, // 13 highlight
    0xFF24272C, // 14 highlight text
    0xFFECEEF1, // 15 button face
    0xFFA3A9B3, // 16 button shadow
    0xFF8B919B, // 17 grey text
    0xFF24272C, // 18 button text
    0xFF5F6570, // 19 inactive caption text
    0xFFFFFFFF, // 20 3-D highlight
    0xFF6E7580, // 21 3-D dark shadow
    0xFFF6F7F9, // 22 3-D light
    0xFF24272C, // 23 tool tip text
    0xFFFFFDE8, // 24 tool tip background
};

} // namespace

int Channel(double pValue) {
    return std::clamp(int(std::lround(pValue)), 0, 255);
}

QColor SystemColor(int pIndex) {
    if (pIndex < 0 || pIndex >= int(kSystemColors.size())) pIndex = kButtonFace;
    return QColor::fromRgb(kSystemColors[std::size_t(pIndex)]);
}

QColor ToQColor(std::int32_t pColor) {
    if (IsSystemColorRef(pColor)) return SystemColor(int(std::uint32_t(pColor) & 0xFFFFU));
    const auto value = std::uint32_t(pColor);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

std::int32_t FromQColor(const QColor& pColor) {
    return Rgb(pColor.red(), pColor.green(), pColor.blue());
}

QColor Shifted(const QColor& pColor, int pDelta) {
    return QColor(Channel(pColor.red() + pDelta), Channel(pColor.green() + pDelta),
                  Channel(pColor.blue() + pDelta));
}

QColor Scaled(const QColor& pColor, double pFactor) {
    return QColor(Channel(pColor.red() * pFactor), Channel(pColor.green() * pFactor),
                  Channel(pColor.blue() * pFactor));
}

} // namespace Palette
