#pragma once

#include <QImage>
#include <QRect>

// The list's icon sheet: 11 cells of 16 × 16 pixels side by side, pictures in the top row and
// their masks in the bottom row (mask black where the picture is opaque, white elsewhere; the
// picture black where transparent), so that AND with the mask and then XOR with the picture
// draws the icon. Cells: 0 page; 1 page with a yellow loudspeaker; 2, 3, 4 page with a cyan
// loudspeaker and I, II, III; 5 page with a grey loudspeaker; 6 page with a cyan plug; 7 page
// with a grey plug; 8 page with an eighth note; 9 page with a magenta loudspeaker; 10 red round
// mark with a white cross.
namespace ListIconSheet {

inline constexpr int kCells = 11;
inline constexpr int kCellSize = 16;

// The sheet drawn at pRatio device pixels per pixel (176 × 32 pixels, opaque).
[[nodiscard]] QImage Make(qreal pRatio);
// The picture (pMask false) or mask cell of icon pIcon, in pixels of the sheet.
[[nodiscard]] QRect Cell(int pIcon, bool pMask);

} // namespace ListIconSheet
