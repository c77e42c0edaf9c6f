#pragma once

#include <QPixmap>
#include <QString>

#include <cstdint>

class QFontMetrics;
class QPainter;
class QRect;
class QSize;
class QWidget;

// The shared skin painter of every owner-drawn control and of the main window: surfaces filled
// by style number from up to three colours (-1 for each colour's default shade), soft edges,
// and the text fitting the controls share.
namespace Skin {

// Style numbers in use.
enum Style : int {
    kBackground = -2,    // the surface's background colour: the middle colour, flat
    kFlat = 1,           // flat fill with the middle colour
    kTrack = 2,          // an empty, slightly sunken track
    kGradient = 5,       // gradient from top to bottom: first, middle, last colour
    kGradientAcross = 6, // the same from left to right, for tall surfaces
    kFaceRound = 7,      // button face, design 0: rounded
    kFaceFlat = 12,      // button face, design 1: flat with a soft sheen
    kFaceTwoTone = 13,   // button face, design 2: two-tone
    kFaceQuiet = 14,     // button face, design 3, and the main window's background
};

// Paints pRect of whatever pPainter draws on. Unknown styles paint nothing.
void PaintSkin(QPainter& pPainter, const QRect& pRect, int pStyle, std::int32_t pColor1 = -1,
               std::int32_t pColor2 = -1, std::int32_t pColor3 = -1);
// The background colour style -2 gives a surface for its middle colour.
[[nodiscard]] QColor BackColor(std::int32_t pColor2 = -1);

// A panel filled from two colours inside a frame of pFrameWidth pixels in the first colour; a
// soft vertical gradient unless pNoGrad is non-zero.
void PaintFramedFill(QPainter& pPainter, const QRect& pRect, std::int32_t pColor1, std::int32_t pColor2,
                     int pFrameWidth, int pNoGrad);
// One of a few distinct light fills by number (any number gives a fill).
void PaintStandardFill(QPainter& pPainter, const QRect& pRect, int pFillNumber);

// A one-pixel 3-D edge just inside pRect: sunken (dark top and left, lighter grey bottom and
// right, all four visible on the light surfaces) or raised.
void DrawEdge(QPainter& pPainter, const QRect& pRect, bool pSunken);
// The softer edge of a header cell.
void DrawCellEdge(QPainter& pPainter, const QRect& pRect, bool pSunken);

// An off-screen image of pSize logical pixels drawn at the device pixel ratio of pWidget's screen
// (or the application's), so that it stays sharp on high-density screens. Filled transparent.
[[nodiscard]] QPixmap MakeSurface(const QSize& pSize, const QWidget* pWidget = nullptr);
[[nodiscard]] qreal DevicePixelRatio(const QWidget* pWidget = nullptr);

// pText cut to fit pWidth pixels in pMetrics: the longest prefix (suffix with pKeepRight) that
// fits, but never less than one character; no ellipsis.
[[nodiscard]] QString FitTextToWidth(const QString& pText, int pWidth, bool pKeepRight,
                                     const QFontMetrics& pMetrics);

} // namespace Skin
