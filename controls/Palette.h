#pragma once

#include <QColor>

#include <cstdint>

// Colours as the controls are given them: red + green×256 + blue×65536, or a system colour
// reference 0x80000000 + index. System colours come from one fixed light palette rather than the
// desktop theme, so a dark theme cannot put dark text on the controls' light surfaces.
namespace Palette {

inline constexpr std::uint32_t kSystemColorFlag = 0x80000000U;

// Indices of the system colours the controls use.
enum SystemIndex : int {
    kWindowBackground = 5,
    kWindowText = 8,
    kHighlight = 13,
    kButtonFace = 15,
    kButtonShadow = 16,
    kGrayText = 17,
    kButtonText = 18,
    k3DHighlight = 20,
    k3DDarkShadow = 21,
    k3DLight = 22,
};

[[nodiscard]] constexpr std::int32_t Rgb(int pRed, int pGreen, int pBlue) noexcept {
    return std::int32_t((pRed & 0xFF) | ((pGreen & 0xFF) << 8) | ((pBlue & 0xFF) << 16));
}
[[nodiscard]] constexpr std::int32_t SystemColorRef(int pIndex) noexcept {
    return std::int32_t(kSystemColorFlag | std::uint32_t(pIndex));
}
[[nodiscard]] constexpr bool IsSystemColorRef(std::int32_t pColor) noexcept {
    return (std::uint32_t(pColor) & kSystemColorFlag) != 0;
}

// The palette's colour for a system index (indices out of range give the button face).
[[nodiscard]] QColor SystemColor(int pIndex);
// Either form of colour value.
[[nodiscard]] QColor ToQColor(std::int32_t pColor);
[[nodiscard]] std::int32_t FromQColor(const QColor& pColor);

// A colour channel from a real number: rounded, then clamped to 0..255.
[[nodiscard]] int Channel(double pValue);

// Each channel plus pDelta, clamped to 0..255 (a negative delta darkens).
[[nodiscard]] QColor Shifted(const QColor& pColor, int pDelta);
// Each channel times pFactor, rounded and clamped.
[[nodiscard]] QColor Scaled(const QColor& pColor, double pFactor);

} // namespace Palette
