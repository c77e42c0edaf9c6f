#include "controls/ListIconSheet.h"

#include "controls/IconSheet.h"

#include <QPainter>
#include <QPainterPath>

namespace ListIconSheet {

namespace {

struct Tone {
    QColor Fill;
    QColor Line;
};

const Tone kYellow{QColor(250, 204, 24), QColor(146, 104, 0)};
const Tone kCyan{QColor(24, 182, 222), QColor(0, 98, 138)};
const Tone kGrey{QColor(160, 160, 164), QColor(82, 82, 88)};
const Tone kMagenta{QColor(214, 60, 200), QColor(118, 0, 108)};

// Cell artwork in a 16 × 16 space; the painter is already scaled to the device.
void Page(QPainter& pPainter) {
    QPainterPath sheet;
    sheet.moveTo(2.5, 0.5);
    sheet.lineTo(10.5, 0.5);
    sheet.lineTo(13.5, 3.5);
    sheet.lineTo(13.5, 15.5);
    sheet.lineTo(2.5, 15.5);
    sheet.closeSubpath();
    pPainter.setPen(QPen(QColor(112, 118, 128), 1.0));
    pPainter.setBrush(Qt::white);
    pPainter.drawPath(sheet);
    QPainterPath fold;
    fold.moveTo(10.5, 0.5);
    fold.lineTo(10.5, 3.5);
    fold.lineTo(13.5, 3.5);
    fold.closeSubpath();
    pPainter.setBrush(QColor(222, 226, 232));
    pPainter.drawPath(fold);
}

void Loudspeaker(QPainter& pPainter, const Tone& pTone) {
    QPainterPath speaker;
    speaker.moveTo(3.5, 8.5);
    speaker.lineTo(5.5, 8.5);
    speaker.lineTo(8.5, 6.0);
    speaker.lineTo(8.5, 14.0);
    speaker.lineTo(5.5, 11.5);
    speaker.lineTo(3.5, 11.5);
    speaker.closeSubpath();
    pPainter.setPen(QPen(pTone.Line, 0.9));
    pPainter.setBrush(pTone.Fill);
    pPainter.drawPath(speaker);
    // One wave in front of the cone.
    pPainter.setBrush(Qt::NoBrush);
    pPainter.setPen(QPen(pTone.Line, 1.0, Qt::SolidLine, Qt::RoundCap));
    pPainter.drawArc(QRectF(7.0, 7.0, 5.0, 6.0), -55 * 16, 110 * 16);
}

void Numeral(QPainter& pPainter, int pCount) {
    const QColor ink(28, 44, 110);
    pPainter.setPen(QPen(ink, 1.0, Qt::SolidLine, Qt::FlatCap));
    const double left = 4.5;
    const double right = left + 2.0 * (pCount - 1);
    for (int i = 0; i < pCount; ++i)
        pPainter.drawLine(QPointF(left + 2.0 * i, 2.0), QPointF(left + 2.0 * i, 5.5));
    pPainter.drawLine(QPointF(left - 1.0, 1.5), QPointF(right + 1.0, 1.5));
    pPainter.drawLine(QPointF(left - 1.0, 6.0), QPointF(right + 1.0, 6.0));
}

void Plug(QPainter& pPainter, const Tone& pTone) {
    pPainter.setPen(QPen(pTone.Line, 1.0, Qt::SolidLine, Qt::FlatCap));
    pPainter.drawLine(QPointF(6.5, 3.5), QPointF(6.5, 7.0));
    pPainter.drawLine(QPointF(9.5, 3.5), QPointF(9.5, 7.0));
    pPainter.setPen(QPen(pTone.Line, 0.9));
    pPainter.setBrush(pTone.Fill);
    pPainter.drawRoundedRect(QRectF(4.5, 6.5, 7.0, 4.5), 1.2, 1.2);
    pPainter.setPen(QPen(pTone.Line, 1.4, Qt::SolidLine, Qt::FlatCap));
    pPainter.drawLine(QPointF(8.0, 11.0), QPointF(8.0, 15.0));
}

void EighthNote(QPainter& pPainter) {
    const QColor ink(36, 58, 150);
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(ink);
    pPainter.save();
    pPainter.translate(6.6, 12.2);
    pPainter.rotate(-22);
    pPainter.drawEllipse(QPointF(0, 0), 2.3, 1.6);
    pPainter.restore();
    pPainter.setPen(QPen(ink, 1.1, Qt::SolidLine, Qt::FlatCap));
    pPainter.drawLine(QPointF(8.4, 12.0), QPointF(8.4, 3.5));
    QPainterPath flag;
    flag.moveTo(8.4, 3.5);
    flag.cubicTo(9.0, 6.0, 12.0, 6.5, 10.8, 9.8);
    pPainter.setBrush(Qt::NoBrush);
    pPainter.drawPath(flag);
}

void FailedMark(QPainter& pPainter) {
    pPainter.setPen(QPen(QColor(150, 16, 16), 1.0));
    pPainter.setBrush(QColor(214, 36, 36));
    pPainter.drawEllipse(QPointF(8.0, 8.0), 7.0, 7.0);
    pPainter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    pPainter.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
    pPainter.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
}

void DrawCell(QPainter& pPainter, int pIcon) {
    if (pIcon == 10) {
        FailedMark(pPainter);
        return;
    }
    Page(pPainter);
    switch (pIcon) {
    case 1:
        Loudspeaker(pPainter, kYellow);
        break;
    case 2:
    case 3:
    case 4:
        Loudspeaker(pPainter, kCyan);
        Numeral(pPainter, pIcon - 1);
        break;
    case 5:
        Loudspeaker(pPainter, kGrey);
        break;
    case 6:
        Plug(pPainter, kCyan);
        break;
    case 7:
        Plug(pPainter, kGrey);
        break;
    case 8:
        EighthNote(pPainter);
        break;
    case 9:
        Loudspeaker(pPainter, kMagenta);
        break;
    default:
        break;
    }
}

} // namespace

QImage Make(qreal pRatio) {
    return IconSheet::MakeSheet(kCellSize, kCells, pRatio, DrawCell);
}

} // namespace ListIconSheet
