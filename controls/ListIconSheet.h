#pragma once

#include <QImage>

// The list's icon sheet in the layout of IconSheet (which also draws from it): 11 cells of 16 × 16
// pixels side by side, pictures in the top row and their masks in the bottom row (mask black where
// the picture is opaque, white elsewhere, grey on soft edges; the picture black where transparent),
// so that the mask darkens like AND and the picture adds like XOR. Cells: 0 page; 1 page with a yellow
// loudspeaker; 2, 3, 4 page with a cyan loudspeaker and I, II, III; 5 page with a grey loudspeaker; 6 page
// with a cyan plug; 7 page with a grey plug; 8 page with an eighth note; 9 page with a magenta loudspeaker;
// 10 red round mark with a white cross.
namespace ListIconSheet {

inline constexpr int kCells = 11;
inline constexpr int kCellSize = 16;

// The sheet drawn at pRatio device pixels per pixel (176 × 32 pixels, opaque).
[[nodiscard]] QImage Make(qreal pRatio);

} // namespace ListIconSheet
