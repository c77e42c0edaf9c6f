#include "controls/Skin.h"

#include "controls/Palette.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QWidget>
#include <QtMath>

#include <vector>

namespace Skin {

namespace {

QColor Or(std::int32_t pColor, QRgb pDefault) {
    return pColor == -1 ? QColor::fromRgb(pDefault) : Palette::ToQColor(pColor);
}

void FillGradient(QPainter& pPainter, const QRect& pRect, bool pAcross, const QColor& pFirst,
                  const QColor& pMiddle, const QColor& pLast) {
    const QPointF end =
        pAcross ? QPointF(pRect.right() + 1, pRect.top()) : QPointF(pRect.left(), pRect.bottom() + 1);
    QLinearGradient gradient(pRect.topLeft(), end);
    gradient.setColorAt(0.0, pFirst);
    gradient.setColorAt(0.5, pMiddle);
    gradient.setColorAt(1.0, pLast);
    pPainter.fillRect(pRect, gradient);
}

// A button face: a vertical gradient inside a rounded border with a light line under its top.
void PaintFace(QPainter& pPainter, const QRect& pRect, qreal pRadius, const QColor& pTop,
               const QColor& pBottom, const QColor& pBorder, bool pTwoTone) {
    pPainter.save();
    pPainter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF box = QRectF(pRect).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(box, pRadius, pRadius);
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0.0, pTop);
    if (pTwoTone) {
        gradient.setColorAt(0.49, pTop.darker(103));
        gradient.setColorAt(0.51, pBottom.lighter(102));
    }
    gradient.setColorAt(1.0, pBottom);
    pPainter.fillPath(path, gradient);
    pPainter.setPen(QPen(QColor(255, 255, 255, 170), 1.0));
    pPainter.drawLine(QPointF(box.left() + pRadius, box.top() + 1),
                      QPointF(box.right() - pRadius, box.top() + 1));
    pPainter.setPen(QPen(pBorder, 1.0));
    pPainter.setBrush(Qt::NoBrush);
    pPainter.drawPath(path);
    pPainter.restore();
}

std::vector<int> CharacterStarts(const QString& pText) {
    std::vector<int> starts;
    for (int i = 0; i < pText.size(); ++i) {
        starts.push_back(i);
        if (pText.at(i).isHighSurrogate() && i + 1 < pText.size() && pText.at(i + 1).isLowSurrogate()) ++i;
    }
    return starts;
}

} // namespace

QColor BackColor(std::int32_t pColor2) {
    return Or(pColor2, 0xFFF3F4F6);
}

void PaintSkin(QPainter& pPainter, const QRect& pRect, int pStyle, std::int32_t pColor1, std::int32_t pColor2,
               std::int32_t pColor3) {
    if (pRect.isEmpty()) return;
    switch (pStyle) {
    case kBackground:
        pPainter.fillRect(pRect, BackColor(pColor2));
        break;
    case kFlat:
        pPainter.fillRect(pRect, Or(pColor2, 0xFFECEEF1));
        break;
    case kTrack: {
        // Darker at the top edge, as a shallow groove is lit from above.
        const QColor light = Or(pColor1, 0xFFE6E8EC);
        const QColor dark = Or(pColor2, 0xFFCDD1D7);
        QLinearGradient gradient(pRect.topLeft(), pRect.bottomLeft() + QPoint(0, 1));
        gradient.setColorAt(0.0, dark);
        gradient.setColorAt(0.35, light);
        gradient.setColorAt(1.0, light.lighter(103));
        pPainter.fillRect(pRect, gradient);
        break;
    }
    case kGradient:
    case kGradientAcross:
        FillGradient(pPainter, pRect, pStyle == kGradientAcross, Or(pColor1, 0xFFFFFFFF),
                     Or(pColor2, 0xFFF3F4F7), Or(pColor3, 0xFFE3E6EB));
        break;
    case kFaceRound:
        PaintFace(pPainter, pRect, qMin(pRect.height(), pRect.width()) / 2.5, Or(pColor1, 0xFFFDFDFE),
                  Or(pColor2, 0xFFE6E9EE), Or(pColor3, 0xFFB4BAC3), false);
        break;
    case kFaceFlat:
        PaintFace(pPainter, pRect, 3.0, Or(pColor1, 0xFFFFFFFF), Or(pColor2, 0xFFEDF0F4),
                  Or(pColor3, 0xFFBFC5CE), false);
        break;
    case kFaceTwoTone:
        PaintFace(pPainter, pRect, 2.0, Or(pColor1, 0xFFF9FAFB), Or(pColor2, 0xFFDDE2E9),
                  Or(pColor3, 0xFFAEB5BF), true);
        break;
    case kFaceQuiet: {
        QLinearGradient gradient(pRect.topLeft(), pRect.bottomLeft() + QPoint(0, 1));
        gradient.setColorAt(0.0, Or(pColor1, 0xFFF8F9FB));
        gradient.setColorAt(1.0, Or(pColor2, 0xFFE9ECF0));
        pPainter.fillRect(pRect, gradient);
        pPainter.fillRect(QRect(pRect.left(), pRect.top(), pRect.width(), 1), QColor(255, 255, 255, 200));
        break;
    }
    default:
        break;
    }
}

void PaintFramedFill(QPainter& pPainter, const QRect& pRect, std::int32_t pColor1, std::int32_t pColor2,
                     int pFrameWidth, int pNoGrad) {
    if (pRect.isEmpty()) return;
    const QColor frame = Palette::ToQColor(pColor1);
    const QColor fill = Palette::ToQColor(pColor2);
    const int width = qBound(0, pFrameWidth, qMin(pRect.width(), pRect.height()) / 2);
    if (width > 0) pPainter.fillRect(pRect, frame);
    const QRect inner = pRect.adjusted(width, width, -width, -width);
    if (pNoGrad != 0) {
        pPainter.fillRect(inner, fill);
    } else {
        QLinearGradient gradient(inner.topLeft(), inner.bottomLeft() + QPoint(0, 1));
        gradient.setColorAt(0.0, Palette::Shifted(fill, 14));
        gradient.setColorAt(1.0, Palette::Shifted(fill, -10));
        pPainter.fillRect(inner, gradient);
    }
}

void PaintStandardFill(QPainter& pPainter, const QRect& pRect, int pFillNumber) {
    static constexpr QRgb kFills[] = {0xFFFFFFFF, 0xFFECEEF1, 0xFFE4ECF7, 0xFFF7E8E8, 0xFFE6F2E6, 0xFFF8EEDD};
    const int count = int(sizeof kFills / sizeof kFills[0]);
    const int index = ((pFillNumber % count) + count) % count;
    pPainter.fillRect(pRect, QColor::fromRgb(kFills[index]));
}

void DrawEdge(QPainter& pPainter, const QRect& pRect, bool pSunken) {
    if (pRect.width() < 2 || pRect.height() < 2) return;
    const QColor dark = Palette::SystemColor(Palette::kButtonShadow);
    // A white lower edge vanishes on the light surfaces and leaves a sunken box open on two
    // sides: it takes a lighter shade of the shadow instead.
    const QColor lower = Palette::Shifted(dark, 40);
    const QColor topLeft = pSunken ? dark : Palette::SystemColor(Palette::k3DHighlight);
    const QColor bottomRight = pSunken ? lower : dark;
    pPainter.save();
    pPainter.setRenderHint(QPainter::Antialiasing, false);
    pPainter.fillRect(QRect(pRect.left(), pRect.top(), pRect.width(), 1), topLeft);
    pPainter.fillRect(QRect(pRect.left(), pRect.top(), 1, pRect.height()), topLeft);
    pPainter.fillRect(QRect(pRect.left(), pRect.bottom(), pRect.width(), 1), bottomRight);
    pPainter.fillRect(QRect(pRect.right(), pRect.top(), 1, pRect.height()), bottomRight);
    pPainter.restore();
}

void DrawCellEdge(QPainter& pPainter, const QRect& pRect, bool pSunken) {
    if (pRect.width() < 2 || pRect.height() < 2) return;
    pPainter.save();
    const QColor line = Palette::SystemColor(Palette::kButtonShadow);
    if (pSunken) {
        pPainter.fillRect(QRect(pRect.left(), pRect.top(), pRect.width(), 1), line);
        pPainter.fillRect(QRect(pRect.left(), pRect.top(), 1, pRect.height()), line);
    } else {
        pPainter.fillRect(QRect(pRect.left(), pRect.top(), 1, pRect.height()), QColor(255, 255, 255, 200));
    }
    pPainter.fillRect(QRect(pRect.right(), pRect.top() + 3, 1, qMax(1, pRect.height() - 6)), line);
    pPainter.fillRect(QRect(pRect.left(), pRect.bottom(), pRect.width(), 1), line);
    pPainter.restore();
}

qreal DevicePixelRatio(const QWidget* pWidget) {
    if (pWidget != nullptr) return pWidget->devicePixelRatioF();
    return qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
}

QPixmap MakeSurface(const QSize& pSize, const QWidget* pWidget) {
    const qreal ratio = DevicePixelRatio(pWidget);
    QPixmap surface(QSize(qMax(1, qCeil(pSize.width() * ratio)), qMax(1, qCeil(pSize.height() * ratio))));
    surface.setDevicePixelRatio(ratio);
    surface.fill(Qt::transparent);
    return surface;
}

QString FitTextToWidth(const QString& pText, int pWidth, bool pKeepRight, const QFontMetrics& pMetrics) {
    if (pMetrics.horizontalAdvance(pText) <= pWidth) return pText;
    const std::vector<int> starts = CharacterStarts(pText);
    const int count = int(starts.size());
    if (count < 2) return pText;
    // The first k characters (the last k with pKeepRight).
    const auto part = [&](int pCount) {
        if (pCount >= count) return pText;
        return pKeepRight ? pText.mid(starts[std::size_t(count - pCount)])
                          : pText.left(starts[std::size_t(pCount)]);
    };
    // The shortest part of at least two characters that is too wide, less one character.
    int low = 2;
    int high = count;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (pMetrics.horizontalAdvance(part(mid)) > pWidth)
            high = mid;
        else
            low = mid + 1;
    }
    return part(low - 1);
}

} // namespace Skin
