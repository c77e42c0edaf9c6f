#include "controls/UC_Bar.h"

#include "controls/Palette.h"
#include "controls/Skin.h"
#include "support/Rounding.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {} // namespace

UC_Bar::UC_Bar(QWidget* pParent)
    : QWidget(pParent)
    , c_ForeColor(Palette::SystemColorRef(Palette::kButtonText)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void UC_Bar::Init() {
    const int inner = width();
    const int high = std::max(1, height() - 4);
    const int track = std::max(0, inner - 4);
    c_TrackWidth = Support::Px(float(track));
    // A Max the host set before Init stands.
    if (!c_MaxSet) c_Max = 1000;
    const QColor bar =
        c_BarColor == 0 ? Palette::SystemColor(Palette::kButtonShadow) : Palette::ToQColor(c_BarColor);
    const QSize half(std::max(1, track), high);
    PictureGrad = Skin::MakeSurface(QSize(half.width(), 2 * high), this);
    QPainter painter(&PictureGrad);
    const QColor shadow = Palette::SystemColor(Palette::kButtonShadow);
    Skin::PaintSkin(painter, QRect(QPoint(0, 0), half), Skin::kTrack,
                    Palette::FromQColor(Palette::Shifted(shadow, 20)),
                    Palette::FromQColor(Palette::Shifted(shadow, -40)));
    const QRect fill(QPoint(0, high), half);
    if (c_NoGrad != 0) {
        painter.fillRect(fill, bar);
    } else {
        Skin::PaintSkin(painter, fill, Skin::kGradient, Palette::FromQColor(bar),
                        Palette::FromQColor(Palette::Shifted(bar, 90)), Palette::FromQColor(bar));
        // A darker last column marks the tip of the fill.
        painter.fillRect(QRect(fill.right(), fill.top(), 1, fill.height()), Palette::Shifted(bar, -80));
    }
    painter.end();
    c_Ready = true;
    // Shows the current value again (nothing before the first one).
    Show(c_Value);
}

void UC_Bar::SetStyle(float pSize, std::int32_t pBold, const std::string& pName, std::int32_t pForeColor) {
    const int index = Support::ApplyUiFont(this, -2, nullptr, pSize, pBold != 0 ? -1 : 0, 0, pName);
    if (index >= 0) c_FontIndex = index;
    c_ForeColor = pForeColor;
    update();
}

void UC_Bar::Max(std::int32_t pValue) {
    c_Max = std::max<std::int32_t>(0, pValue);
    c_MaxSet = true;
}

void UC_Bar::TextToDisp(const QString& pValue) {
    if (pValue == c_TextToDisp) return;
    c_TextToDisp = pValue;
    update();
}

void UC_Bar::Value(std::int32_t pValue) {
    if (c_Clicked == -1) return;
    Show(pValue);
}

void UC_Bar::Show(std::int32_t pValue) {
    const std::int32_t value = std::min(pValue, c_Max);
    // value > 0 here implies Max > 0.
    if (value > 0)
        Draw(float(RoundHalfEven(double(c_TrackWidth) * value / c_Max + double(Support::Px(2)))));
    else
        Draw(0);
    c_Value = std::max<std::int32_t>(0, value);
}

void UC_Bar::Draw(float pValue) {
    c_DrawX = std::clamp(pValue, Support::Px(2), std::max(Support::Px(2), c_TrackWidth + Support::Px(2)));
    update();
}

int UC_Bar::FillTip() const {
    return Support::PixelsOf(c_DrawX);
}

std::int32_t UC_Bar::ValueAt(float pX) const {
    // A track of no width has no positions to seek to.
    if (c_TrackWidth <= 0) return 0;
    const double value = double(Support::Px(pX - 2)) / double(c_TrackWidth) * c_Max;
    return std::clamp(std::int32_t(RoundHalfEven(value)), std::int32_t(0), c_Max);
}

void UC_Bar::mousePressEvent(QMouseEvent* pEvent) {
    if (c_Locked != 0 || pEvent->button() != Qt::LeftButton) return;
    const float x = float(pEvent->position().x());
    c_LastX = x;
    Draw(Support::Px(x));
    c_Value = ValueAt(x);
    c_Clicked = -1;
    Q_EMIT MouseUD(true);
}

void UC_Bar::mouseMoveEvent(QMouseEvent* pEvent) {
    if (c_Locked != 0 || !(pEvent->buttons() & Qt::LeftButton) || c_Clicked != -1) return;
    const float x = float(pEvent->position().x());
    if (x == c_LastX) return;
    c_LastX = x;
    Draw(Support::Px(x));
    c_Value = ValueAt(x);
    Q_EMIT Scrolled();
}

void UC_Bar::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton) {
        if (c_Locked == 0) Q_EMIT RightClicked(false);
        return;
    }
    // A lock that came during a drag still ends it, or code could never set a value again.
    if (c_Locked != 0 || c_Clicked != -1) {
        c_Clicked = 0;
        return;
    }
    const float x = float(pEvent->position().x());
    Draw(Support::Px(x));
    c_Value = ValueAt(x);
    c_Clicked = 0;
    Q_EMIT MouseUD(false);
}

void UC_Bar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, Palette::SystemColor(Palette::kButtonFace));
    if (c_Ready && !PictureGrad.isNull()) {
        const double ratio = PictureGrad.devicePixelRatio();
        const QSizeF half(PictureGrad.deviceIndependentSize().width(),
                          PictureGrad.deviceIndependentSize().height() / 2);
        const QRectF track(2, 2, half.width(), half.height());
        // The ring between the edge and the track takes the track's light tone.
        painter.fillRect(area.adjusted(1, 1, -1, -1),
                         Palette::Shifted(Palette::SystemColor(Palette::kButtonShadow), 20));
        painter.drawPixmap(track, PictureGrad, QRectF(0, 0, PictureGrad.width(), PictureGrad.height() / 2.0));
        // The fill's right end is the image's right end, at the tip; at 0 a one-pixel sliver shows.
        const double fill = std::clamp(double(FillTip() - 2), 1.0, half.width());
        painter.drawPixmap(QRectF(2, 2, fill, half.height()), PictureGrad,
                           QRectF((half.width() - fill) * ratio, PictureGrad.height() / 2.0, fill * ratio,
                                  PictureGrad.height() / 2.0));
    }
    Skin::DrawEdge(painter, area, true);
    if (c_TextToDisp.isEmpty()) return;
    const QFont& font = Support::UiFontAt(c_FontIndex).Font;
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const double left = std::max(2.0, (width() - 2 - metrics.horizontalAdvance(c_TextToDisp)) / 2.0);
    // Centred on the line even when the bar is lower than a line: the clip keeps it inside.
    const double top = (height() - 2 - metrics.height()) / 2.0;
    painter.setPen(Palette::ToQColor(c_ForeColor));
    painter.setClipRect(area.adjusted(2, 2, -2, -2));
    painter.drawText(QPointF(left, top + metrics.ascent()), c_TextToDisp);
}
