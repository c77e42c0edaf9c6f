#include "controls/IconSheet.h"

#include "controls/Palette.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QTransform>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace IconSheet {

namespace {

enum class Tone { Grey, Green, Orange };
enum class Subject {
    Ball,
    SmallBall,
    Square,
    Pause,
    Play,
    CircledMinus,
    CircledPlus,
    LeftRight,
    UpDown,
    LetterF,
    Page,
    Rewind,
    Back,
    FastForward,
    SkipStart,
    SkipEnd,
};

struct Cell {
    Subject What;
    Tone Colour;
};

constexpr Cell kCells[kCellCount] = {
    {Subject::Ball, Tone::Grey},         {Subject::Square, Tone::Grey},
    {Subject::Pause, Tone::Grey},        {Subject::Play, Tone::Grey},
    {Subject::CircledMinus, Tone::Grey}, {Subject::LeftRight, Tone::Grey},
    {Subject::CircledPlus, Tone::Grey},  {Subject::LetterF, Tone::Grey},
    {Subject::Ball, Tone::Orange},       {Subject::Square, Tone::Green},
    {Subject::Pause, Tone::Green},       {Subject::Play, Tone::Green},
    {Subject::SmallBall, Tone::Grey},    {Subject::SmallBall, Tone::Green},
    {Subject::Page, Tone::Grey},         {Subject::Rewind, Tone::Grey},
    {Subject::Back, Tone::Grey},         {Subject::FastForward, Tone::Grey},
    {Subject::Rewind, Tone::Green},      {Subject::Back, Tone::Green},
    {Subject::FastForward, Tone::Green}, {Subject::SkipStart, Tone::Grey},
    {Subject::SkipEnd, Tone::Grey},      {Subject::SkipStart, Tone::Green},
    {Subject::SkipEnd, Tone::Green},     {Subject::UpDown, Tone::Grey},
};

struct Shades {
    QColor Light;
    QColor Dark;
    QColor Line;
};

// Greys are drawn a little dark: the one-time tint by the face colour lightens them.
Shades ShadesOf(Tone pTone) {
    switch (pTone) {
    case Tone::Green:
        return {QColor(104, 206, 118), QColor(34, 138, 60), QColor(24, 104, 44)};
    case Tone::Orange:
        return {QColor(255, 190, 104), QColor(232, 112, 20), QColor(170, 78, 10)};
    case Tone::Grey:
    default:
        return {QColor(138, 143, 151), QColor(78, 83, 91), QColor(58, 62, 69)};
    }
}

QBrush Gradient(const Shades& pShades) {
    QLinearGradient gradient(0, 3, 0, 15);
    gradient.setColorAt(0, pShades.Light);
    gradient.setColorAt(1, pShades.Dark);
    return gradient;
}

QPainterPath Triangle(QPointF pA, QPointF pB, QPointF pC) {
    QPainterPath path;
    path.moveTo(pA);
    path.lineTo(pB);
    path.lineTo(pC);
    path.closeSubpath();
    return path;
}

// Left-pointing shapes; their right-pointing twins are mirrored about the cell's centre.
QPainterPath Mirrored(const QPainterPath& pPath) {
    return QTransform(-1, 0, 0, 1, kCellSize, 0).map(pPath);
}

QPainterPath TransportPath(Subject pWhat) {
    QPainterPath path;
    switch (pWhat) {
    case Subject::Rewind:
    case Subject::FastForward:
        path.addPath(Triangle({9.2, 4.5}, {9.2, 13.5}, {2.8, 9}));
        path.addPath(Triangle({15.4, 4.5}, {15.4, 13.5}, {9.0, 9}));
        break;
    case Subject::Back:
        path = Triangle({12.5, 4}, {12.5, 14}, {5, 9});
        break;
    case Subject::SkipStart:
    case Subject::SkipEnd:
        path.addRoundedRect(QRectF(3.5, 4.5, 2.4, 9), 0.6, 0.6);
        path.addPath(Triangle({14.5, 4.5}, {14.5, 13.5}, {6.8, 9}));
        break;
    default:
        break;
    }
    if (pWhat == Subject::FastForward || pWhat == Subject::SkipEnd) return Mirrored(path);
    return path;
}

// A double-headed arrow along x (turned for the up-down arrow).
QPainterPath DoubleArrow(bool pVertical) {
    QPainterPath path;
    path.addRect(QRectF(6, 8, 6, 2));
    path.addPath(Triangle({2.5, 9}, {7, 4.8}, {7, 13.2}));
    path.addPath(Triangle({15.5, 9}, {11, 4.8}, {11, 13.2}));
    path.setFillRule(Qt::WindingFill);
    if (!pVertical) return path;
    return QTransform(0, 1, 1, 0, 0, 0).map(path);
}

void FillShape(QPainter& pPainter, const QPainterPath& pPath, const Shades& pShades) {
    pPainter.setPen(QPen(pShades.Line, 0.8));
    pPainter.setBrush(Gradient(pShades));
    pPainter.drawPath(pPath);
}

void DrawBall(QPainter& pPainter, double pRadius, const Shades& pShades) {
    QRadialGradient gradient(QPointF(9 - pRadius * 0.35, 9 - pRadius * 0.4), pRadius * 1.3);
    gradient.setColorAt(0, pShades.Light.lighter(125));
    gradient.setColorAt(0.55, pShades.Light);
    gradient.setColorAt(1, pShades.Dark);
    pPainter.setPen(QPen(pShades.Line, 0.8));
    pPainter.setBrush(gradient);
    pPainter.drawEllipse(QPointF(9, 9), pRadius, pRadius);
}

void DrawCircled(QPainter& pPainter, bool pPlus, const Shades& pShades) {
    pPainter.setPen(QPen(Gradient(pShades), 1.6));
    pPainter.setBrush(Qt::NoBrush);
    pPainter.drawEllipse(QPointF(9, 9), 6.6, 6.6);
    QPainterPath sign;
    sign.addRect(QRectF(5.5, 8, 7, 2));
    if (pPlus) sign.addRect(QRectF(8, 5.5, 2, 7));
    sign.setFillRule(Qt::WindingFill);
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(pShades.Dark);
    pPainter.drawPath(sign);
}

void DrawLetterF(QPainter& pPainter, const Shades& pShades) {
    pPainter.setPen(QPen(pShades.Line, 0.8));
    pPainter.setBrush(Gradient(pShades));
    pPainter.drawRoundedRect(QRectF(2, 2, 14, 14), 3, 3);
    QPainterPath f;
    f.moveTo(7.6, 14);
    f.lineTo(7.6, 7.2);
    f.cubicTo(7.6, 4.6, 9.4, 4.0, 11.8, 4.6);
    f.moveTo(5.4, 8.2);
    f.lineTo(11.0, 8.2);
    pPainter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    pPainter.setBrush(Qt::NoBrush);
    pPainter.drawPath(f);
}

void DrawPage(QPainter& pPainter, const Shades& pShades) {
    QPainterPath sheet;
    sheet.moveTo(4, 2.5);
    sheet.lineTo(10.5, 2.5);
    sheet.lineTo(14, 6);
    sheet.lineTo(14, 15.5);
    sheet.lineTo(4, 15.5);
    sheet.closeSubpath();
    pPainter.setPen(QPen(pShades.Dark, 1));
    pPainter.setBrush(QColor(250, 251, 252));
    pPainter.drawPath(sheet);
    pPainter.setBrush(pShades.Light);
    pPainter.drawPath(Triangle({10.5, 2.5}, {10.5, 6}, {14, 6}));
    pPainter.setPen(QPen(pShades.Light, 1));
    for (const double y : {8.5, 10.5, 12.5})
        pPainter.drawLine(QPointF(6, y), QPointF(12, y));
}

void DrawSubject(QPainter& pPainter, const Cell& pCell) {
    const Shades shades = ShadesOf(pCell.Colour);
    switch (pCell.What) {
    case Subject::Ball:
        DrawBall(pPainter, 5.6, shades);
        break;
    case Subject::SmallBall:
        DrawBall(pPainter, 3.4, shades);
        break;
    case Subject::Square: {
        QPainterPath path;
        path.addRoundedRect(QRectF(4.5, 4.5, 9, 9), 1.4, 1.4);
        FillShape(pPainter, path, shades);
        break;
    }
    case Subject::Pause: {
        QPainterPath path;
        path.addRoundedRect(QRectF(4.5, 4, 3.4, 10), 0.8, 0.8);
        path.addRoundedRect(QRectF(10.1, 4, 3.4, 10), 0.8, 0.8);
        FillShape(pPainter, path, shades);
        break;
    }
    case Subject::Play:
        FillShape(pPainter, Triangle({5.5, 3.5}, {14.5, 9}, {5.5, 14.5}), shades);
        break;
    case Subject::CircledMinus:
    case Subject::CircledPlus:
        DrawCircled(pPainter, pCell.What == Subject::CircledPlus, shades);
        break;
    case Subject::LeftRight:
    case Subject::UpDown:
        FillShape(pPainter, DoubleArrow(pCell.What == Subject::UpDown), shades);
        break;
    case Subject::LetterF:
        DrawLetterF(pPainter, shades);
        break;
    case Subject::Page:
        DrawPage(pPainter, shades);
        break;
    default:
        FillShape(pPainter, TransportPath(pCell.What), shades);
        break;
    }
}

} // namespace

bool IsActiveLook(int pCell) noexcept {
    switch (pCell) {
    case 8:
    case 9:
    case 10:
    case 11:
    case 13:
    case 18:
    case 19:
    case 20:
    case 23:
    case 24:
        return true;
    default:
        return false;
    }
}

QImage MakeSheet(int pCellSize, int pCellCount, qreal pRatio,
                 const std::function<void(QPainter&, int)>& pDrawCell) {
    const int cellPx = std::max(pCellSize, int(std::ceil(pCellSize * pRatio)));
    const qreal ratio = qreal(cellPx) / pCellSize;
    QImage sheet(cellPx * pCellCount, cellPx * 2, QImage::Format_RGB32);
    sheet.fill(Qt::black);
    for (int i = 0; i < pCellCount; ++i) {
        QImage cell(cellPx, cellPx, QImage::Format_ARGB32_Premultiplied);
        cell.fill(Qt::transparent);
        {
            QPainter painter(&cell);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.scale(ratio, ratio);
            pDrawCell(painter, i);
        }
        // Premultiplied colour is the picture over black; what is not covered is the mask.
        for (int y = 0; y < cellPx; ++y) {
            const auto* source = reinterpret_cast<const QRgb*>(cell.constScanLine(y));
            auto* picture = reinterpret_cast<QRgb*>(sheet.scanLine(y)) + i * cellPx;
            auto* mask = reinterpret_cast<QRgb*>(sheet.scanLine(y + cellPx)) + i * cellPx;
            for (int x = 0; x < cellPx; ++x) {
                const QRgb pixel = source[x];
                picture[x] = qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
                const int clear = 255 - qAlpha(pixel);
                mask[x] = qRgb(clear, clear, clear);
            }
        }
    }
    sheet.setDevicePixelRatio(ratio);
    return sheet;
}

QImage Make(qreal pRatio) {
    return MakeSheet(kCellSize, kCellCount, pRatio,
                     [](QPainter& pPainter, int pCell) { DrawSubject(pPainter, kCells[pCell]); });
}

void Tint(QImage& pSheet, const QColor& pFace) {
    const int cellPx = pSheet.height() / 2;
    if (cellPx <= 0) return;
    const double red = pFace.red() / 210.0;
    const double green = pFace.green() / 210.0;
    const double blue = pFace.blue() / 210.0;
    for (int i = 0; i < kCellCount; ++i) {
        if (IsActiveLook(i)) continue;
        for (int y = 0; y < cellPx; ++y) {
            auto* line = reinterpret_cast<QRgb*>(pSheet.scanLine(y)) + i * cellPx;
            for (int x = 0; x < cellPx; ++x) {
                const QRgb pixel = line[x];
                if ((pixel & 0xFFFFFFU) == 0) continue;
                line[x] = qRgb(Palette::Channel(qRed(pixel) * red), Palette::Channel(qGreen(pixel) * green),
                               Palette::Channel(qBlue(pixel) * blue));
            }
        }
    }
}

void Draw(QPainter& pPainter, const QPointF& pTopLeft, const QPixmap& pSheet, int pCell, int pCellSize) {
    const int cellPx = pSheet.height() / 2;
    if (pSheet.isNull() || cellPx <= 0 || pCell < 0 || pCell >= pSheet.width() / cellPx) return;
    const QRectF target(pTopLeft, QSizeF(pCellSize, pCellSize));
    pPainter.save();
    pPainter.setCompositionMode(QPainter::CompositionMode_Multiply);
    pPainter.drawPixmap(target, pSheet, QRectF(pCell * cellPx, cellPx, cellPx, cellPx));
    pPainter.setCompositionMode(QPainter::CompositionMode_Plus);
    pPainter.drawPixmap(target, pSheet, QRectF(pCell * cellPx, 0, cellPx, cellPx));
    pPainter.restore();
}

} // namespace IconSheet
