#include "controls/UC_Check.h"

#include "controls/Palette.h"
#include "controls/Skin.h"
#include "support/Rounding.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <cmath>

namespace {} // namespace

UC_Check::UC_Check(QWidget* pParent)
    : QWidget(pParent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::TabFocus);
}

float UC_Check::SideTwips() const {
    return float(RoundHalfEven(double(c_SizeRate) * 240.0));
}

int UC_Check::BoxSide() const {
    return std::max(1, Support::PixelsOf(SideTwips()));
}

void UC_Check::Enabled(std::int16_t pValue) {
    c_Enabled = pValue;
    setEnabled(pValue != 0);
    update();
}

void UC_Check::Caption(const QString& pValue) {
    c_Caption = pValue;
    Layout();
}

void UC_Check::Value(std::int32_t pValue) {
    c_Value = pValue;
    update();
}

void UC_Check::IsOption(std::int32_t pValue) {
    c_IsOption = pValue;
    update();
}

void UC_Check::FontSize(float pValue) {
    c_FontSize = pValue;
    if (c_LaidOut) Layout();
}

void UC_Check::SizeRate(float pValue) {
    c_SizeRate = pValue;
    if (c_LaidOut) Layout();
}

void UC_Check::Gradhdc(BoxImage pValue) {
    if (!pValue) return;
    c_Gradhdc = std::move(pValue);
    c_OwnImage = false;
    update();
}

void UC_Check::SetBGPic(float pX, float pY, const QPixmap* pObj) {
    c_Background = pObj;
    c_BackgroundX = pX;
    c_BackgroundY = pY;
    update();
}

void UC_Check::CloseBGObj() {
    c_Background = nullptr;
    update();
}

void UC_Check::Draw() {
    if (!c_LaidOut) Layout();
    update();
}

void UC_Check::Layout() {
    const int index = Support::ApplyUiFont(this, -2, nullptr, c_FontSize, 0, 0, {});
    if (index >= 0) c_FontIndex = index;
    const QFontMetrics metrics(Support::UiFontAt(c_FontIndex).Font);
    const float t = Support::Px(float(metrics.height()));
    const int side = BoxSide();
    // A box of its own is made only when no other box's image was handed over, and again when
    // its size changed.
    if (!c_Gradhdc || (c_OwnImage && c_Gradhdc->deviceIndependentSize().toSize() != QSize(side, side)))
        MakeBoxImage(side);
    const int wide = c_Caption.isEmpty() ? side : side + 4 + metrics.horizontalAdvance(c_Caption);
    const int high = std::max(height(), side);
    resize(wide, high);
    const float highTwips = Support::Px(float(high));
    c_BoxTop = int(std::trunc((highTwips - SideTwips()) / Support::Px(2)));
    c_CaptionTop = float(RoundHalfEven(double(highTwips - t) / 2.0));
    c_LaidOut = true;
    update();
}

void UC_Check::MakeBoxImage(int pSide) {
    QPixmap box = Skin::MakeSurface(QSize(pSide, pSide), this);
    QPainter painter(&box);
    const QRect area(0, 0, pSide, pSide);
    const std::int32_t shadow = Palette::SystemColorRef(Palette::kButtonShadow);
    Skin::PaintSkin(painter, area, Skin::kGradient, shadow, Palette::SystemColorRef(Palette::kButtonFace),
                    Palette::SystemColorRef(Palette::k3DHighlight));
    Skin::DrawEdge(painter, area, true);
    painter.end();
    c_Gradhdc = std::make_shared<const QPixmap>(std::move(box));
    c_OwnImage = true;
}

void UC_Check::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (c_Background != nullptr && !c_Background->isNull()) {
        const double ratio = c_Background->devicePixelRatio();
        const QRectF source(Support::ToPixels(c_BackgroundX) * ratio,
                            Support::ToPixels(c_BackgroundY) * ratio, width() * ratio, height() * ratio);
        painter.fillRect(rect(), Palette::SystemColor(Palette::kButtonFace));
        painter.drawPixmap(QRectF(rect()), *c_Background, source);
    } else {
        painter.fillRect(rect(), Palette::SystemColor(Palette::kButtonFace));
    }
    if (!c_LaidOut) return;
    const QColor text = Palette::SystemColor(c_Enabled != 0 ? Palette::kButtonText : Palette::kButtonShadow);
    const int side = BoxSide();
    const QFont& font = Support::UiFontAt(c_FontIndex).Font;
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const double captionTop = Support::ToPixels(c_CaptionTop);
    painter.setPen(text);
    painter.drawText(QPointF(side + 4, captionTop + metrics.ascent()), c_Caption);
    if (hasFocus() && !c_Caption.isEmpty()) {
        QPen dotted(Palette::SystemColor(Palette::kButtonShadow), 1, Qt::DotLine);
        painter.setPen(dotted);
        painter.drawRect(QRectF(side + 2.5, captionTop + 0.5, metrics.horizontalAdvance(c_Caption) + 3,
                                metrics.height() - 1));
    }
    if (c_Gradhdc) painter.drawPixmap(QRectF(0, c_BoxTop, side, side), *c_Gradhdc, QRectF(c_Gradhdc->rect()));
    if (c_Value != 1) return;
    painter.setPen(QPen(text, 1));
    painter.setBrush(text);
    if (c_IsOption != 0) {
        // The round mark keeps its size whatever the box's size.
        painter.setRenderHint(QPainter::Antialiasing, true);
        const double radius = Support::ToPixels(60);
        painter.drawEllipse(QPointF(Support::ToPixels(105), c_BoxTop + Support::ToPixels(105)), radius,
                            radius);
        return;
    }
    static constexpr int kMark[][2] = {{45, 105}, {105, 165}, {180, 45}, {90, 135}, {45, 105}};
    QPolygon mark;
    for (const auto& point : kMark)
        mark << QPoint(Support::PixelsOf(point[0] * double(c_SizeRate)),
                       c_BoxTop + Support::PixelsOf(point[1] * double(c_SizeRate)));
    painter.drawPolygon(mark);
}

void UC_Check::showEvent(QShowEvent* pEvent) {
    QWidget::showEvent(pEvent);
    if (!c_LaidOut) Layout();
}

void UC_Check::UserClick() {
    if (c_Enabled == 0) return;
    if (c_IsOption == 0)
        c_Value = c_Value == 1 ? 0 : 1;
    else if (c_Value == 0)
        c_Value = 1;
    Draw();
    Q_EMIT Click();
}

void UC_Check::mouseReleaseEvent(QMouseEvent* pEvent) {
    // Only the left button clicks, and only where it was let go over the box.
    if (pEvent->button() != Qt::LeftButton || !rect().contains(pEvent->position().toPoint())) return;
    UserClick();
}

void UC_Check::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Space && !pEvent->isAutoRepeat()) {
        UserClick();
        return;
    }
    QWidget::keyPressEvent(pEvent);
}

void UC_Check::focusInEvent(QFocusEvent* pEvent) {
    QWidget::focusInEvent(pEvent);
    update();
}

void UC_Check::focusOutEvent(QFocusEvent* pEvent) {
    QWidget::focusOutEvent(pEvent);
    update();
}
