#pragma once

#include <QColor>
#include <QImage>

#include <functional>

class QPainter;
class QPointF;
class QPixmap;

// The button strip's icon sheet, drawn in code: 26 cells of 18 × 18 logical pixels side by side,
// each picture in the top row (black where transparent) above its mask (black where opaque, white
// where transparent; grey on soft edges). Cells: 0 grey ball, 1 grey square, 2 grey pause bars,
// 3 grey play triangle, 4 circled minus, 5 left-right arrow, 6 circled plus, 7 letter f on a
// tile, 8 orange ball, 9 green square, 10 green pause, 11 green play, 12 small grey ball, 13 small
// green ball, 14 page, 15 rewind, 16 back, 17 fast forward, 18-20 the same in green, 21 skip to
// start, 22 skip to end, 23-24 the same in green, 25 up-down arrow.
namespace IconSheet {

inline constexpr int kCellSize = 18;
inline constexpr int kCellCount = 26;

// The coloured cells that show a button's active look; tinting leaves them alone.
[[nodiscard]] bool IsActiveLook(int pCell) noexcept;

// The sheet at pRatio device pixels per logical pixel (rounded up so that cells stay whole).
[[nodiscard]] QImage Make(qreal pRatio);
// Any sheet of pCellCount square cells of pCellSize logical pixels in the same layout: pDrawCell
// paints cell i on a transparent surface scaled to logical pixels.
[[nodiscard]] QImage MakeSheet(int pCellSize, int pCellCount, qreal pRatio,
                               const std::function<void(QPainter&, int)>& pDrawCell);
// Scales every non-black picture pixel of the grey cells by the face colour / 210 per channel.
void Tint(QImage& pSheet, const QColor& pFace);

// Puts cell pCell at pTopLeft: the mask darkens what lies beneath, the picture is then added, so
// that black and white masks act as AND and XOR do and grey edges blend.
void Draw(QPainter& pPainter, const QPointF& pTopLeft, const QPixmap& pSheet, int pCell,
          int pCellSize = kCellSize);

} // namespace IconSheet
