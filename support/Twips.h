#pragma once

#include <cmath>

// Positions and sizes of windows and controls are kept in twips (1/1440 inch); this is the
// process-wide factor to pixels, set at start-up from the screen (15 at 96 DPI).
namespace Support {

[[nodiscard]] float TwipsPerPixel() noexcept;
// Values of 0 or less are ignored: every division by the factor stays defined.
void TwipsPerPixel(float pValue) noexcept;

// pPixels pixels in twips, and twips in (fractional) pixels.
[[nodiscard]] inline float Px(float pPixels) noexcept {
    return pPixels * TwipsPerPixel();
}
[[nodiscard]] inline float ToPixels(float pTwips) noexcept {
    return pTwips / TwipsPerPixel();
}
// Twips in whole pixels, to the nearest, ties to even.
[[nodiscard]] inline int PixelsOf(float pTwips) noexcept {
    return int(std::lrint(ToPixels(pTwips)));
}

} // namespace Support
