#include "controls/UC_Slider.h"

#include "controls/MouseInput.h"
#include "controls/Palette.h"
#include "controls/Skin.h"
#include "support/Rounding.h"
#include "support/Twips.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRepeatDelay = 350;
constexpr int kRepeatInterval = 60;

} // namespace

UC_Slider::UC_Slider(QWidget* pParent)
    : QWidget(pParent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    TimerCheck.setInterval(kRepeatInterval);
    connect(&TimerCheck, &QTimer::timeout, this, [this] { TimerCheck_Timer(); });
}

bool UC_Slider::ArrowsActive() const noexcept {
    return c_NoArrow == 0 && c_Disabletrim != -1 && c_RefuseInput != -1;
}

QRect UC_Slider::ArrowRect(int pIndex) const {
    if (c_NoArrow != 0) return {};
    if (c_IsVertical != 0) {
        const int side = std::min(width(), height() / 2);
        return pIndex == 0 ? QRect(0, 0, width(), side) : QRect(0, height() - side, width(), side);
    }
    const int side = std::min(height(), width() / 2);
    return pIndex == 0 ? QRect(0, 0, side, height()) : QRect(width() - side, 0, side, height());
}

QRect UC_Slider::TrackRect() const {
    if (c_NoArrow != 0) return rect();
    if (c_IsVertical != 0)
        return QRect(0, ArrowRect(0).bottom() + 1, width(), ArrowRect(1).top() - ArrowRect(0).bottom() - 1);
    return QRect(ArrowRect(0).right() + 1, 0, ArrowRect(1).left() - ArrowRect(0).right() - 1, height());
}

void UC_Slider::Init() {
    c_Ready = true;
    Init2();
    Value(c_Value);
    update();
}

void UC_Slider::Init2() {
    const QRect track = TrackRect();
    const int length = c_IsVertical != 0 ? track.height() : track.width();
    c_TrackLength = Support::Px(float(std::max(0, length - 4)));
    const int thickness = std::max(1, (c_IsVertical != 0 ? track.width() : track.height()) - 4);
    const int thumb = std::max(1, int(std::lround(Support::ToPixels(float(c_PointerSize)))));
    const QSize size = c_IsVertical != 0 ? QSize(thickness, thumb) : QSize(thumb, thickness);
    PictureGrad = Skin::MakeSurface(size, this);
    QPainter painter(&PictureGrad);
    const QRect area(QPoint(0, 0), size);
    const QColor shadow = Palette::SystemColor(Palette::kButtonShadow);
    const QColor face = Palette::SystemColor(Palette::kButtonFace);
    if (c_NoGrad != 0) {
        Skin::PaintSkin(painter, area, Skin::kFlat, -1, Palette::FromQColor(Palette::Scaled(shadow, 1.2)));
    } else {
        Skin::PaintSkin(painter, area, c_IsVertical != 0 ? Skin::kGradientAcross : Skin::kGradient,
                        Palette::FromQColor(Palette::Scaled(shadow, 1.2)),
                        Palette::FromQColor(Palette::Scaled(face, 1.1)),
                        Palette::FromQColor(Palette::Scaled(shadow, 0.9)));
    }
    // Grip lines across the thumb, and a closing line at its far end.
    const auto across = [&](int pAt, const QColor& pColor) {
        if (pAt < 0 || pAt >= thumb) return;
        painter.fillRect(c_IsVertical != 0 ? QRect(0, pAt, thickness, 1) : QRect(pAt, 0, 1, thickness),
                         pColor);
    };
    if (c_CenterLined == -1) {
        across(thumb / 2 - 1, shadow);
    } else if (c_NoGrad == 0) {
        across(4, shadow);
        across(thumb - 6, shadow);
    }
    if (c_NoGrad == 0) across(thumb - 1, Palette::SystemColor(Palette::k3DDarkShadow));
    painter.end();
    Value(c_Value);
    update();
}

void UC_Slider::SetPointerSize(float pRate) {
    if (pRate >= 1) pRate = 0.95F;
    const float minimum = Support::Px(8);
    PointerSize(std::int32_t(std::max(minimum, float(RoundHalfEven(double(c_TrackLength) * double(pRate))))));
    Init2();
}

void UC_Slider::PointerSize(std::int32_t pValue) {
    c_PointerSize = std::max<std::int32_t>(1, pValue);
}

void UC_Slider::Value(std::int32_t pValue) {
    if (c_Range == 0) return;
    c_Value = std::clamp(pValue, c_Min, c_Max);
    // A thumb that cannot travel (a track shorter than the thumb) stays at the start.
    const float travel = Travel();
    c_ThumbPosition =
        travel > 0 ? float(RoundToInt32(double(travel) / double(c_Range) * double(c_Value - c_Min))) : 0;
    update();
}

void UC_Slider::Max(std::int32_t pValue) {
    c_Max = pValue;
    c_Range = c_Max - c_Min;
    if (c_Range != 0) Value(c_Value);
}

void UC_Slider::Min(std::int32_t pValue) {
    c_Min = pValue;
    c_Range = c_Max - c_Min;
    if (c_Range != 0) Value(c_Value);
}

void UC_Slider::Draw(float pPosition) {
    const float travel = Travel();
    if (travel <= 0) {
        c_Value = c_Min;
        c_ThumbPosition = 0;
    } else {
        const std::int32_t value =
            RoundToInt32(double(c_Range) / double(travel) * double(pPosition) + double(c_Min));
        if (value > c_Max) {
            c_Value = c_Max;
            c_ThumbPosition = travel;
        } else if (value < c_Min) {
            c_Value = c_Min;
            c_ThumbPosition = 0;
        } else {
            c_Value = value;
            c_ThumbPosition = pPosition;
        }
    }
    update();
}

float UC_Slider::Along(const QPointF& pPoint) const {
    const QRect track = TrackRect();
    const double pixels = c_IsVertical != 0 ? pPoint.y() - track.top() - 2 : pPoint.x() - track.left() - 2;
    return Support::Px(float(pixels));
}

int UC_Slider::ArrowAt(const QPointF& pPoint) const {
    for (int i = 0; i < 2; ++i)
        if (ArrowRect(i).contains(pPoint.toPoint())) return i;
    return -1;
}

void UC_Slider::ArrowPress(int pIndex) {
    c_ArrowHeld[std::size_t(pIndex)] = true;
    c_Clicked = -1;
    Value(c_Value + (pIndex == 0 ? -c_SmallChange : c_SmallChange));
    Q_EMIT Scrolled(1);
    TimerCheck.start(kRepeatDelay);
    update();
}

void UC_Slider::TimerCheck_Timer() {
    TimerCheck.setInterval(kRepeatInterval);
    if (c_ArrowHeld[0])
        Value(c_Value - c_SmallChange);
    else if (c_ArrowHeld[1])
        Value(c_Value + c_SmallChange);
    else
        return;
    Q_EMIT Scrolled(1);
}

void UC_Slider::mousePressEvent(QMouseEvent* pEvent) {
    if (c_RefuseInput == -1) return;
    const std::int16_t button = MouseInput::ButtonCode(pEvent->button());
    const int arrow = ArrowAt(pEvent->position());
    if (arrow >= 0) {
        if (ArrowsActive() && pEvent->button() == Qt::LeftButton) ArrowPress(arrow);
        return;
    }
    const float c = Along(pEvent->position());
    c_LastCoordinate = c;
    if (pEvent->button() == Qt::LeftButton) {
        const float start = c_ThumbPosition;
        const float end = start + float(c_PointerSize);
        c_GrabOffset = c >= start && c <= end ? c - start : float(c_PointerSize) / 2;
        Draw(c - c_GrabOffset);
    }
    c_Clicked = -1;
    Q_EMIT MouseUD(true, button);
    if (pEvent->button() == Qt::LeftButton) Q_EMIT Scrolled(1);
}

void UC_Slider::mouseMoveEvent(QMouseEvent* pEvent) {
    if (c_RefuseInput == -1 || !(pEvent->buttons() & Qt::LeftButton) || c_ArrowHeld[0] || c_ArrowHeld[1])
        return;
    if (c_Clicked != -1) return;
    const float c = Along(pEvent->position());
    if (c == c_LastCoordinate) return;
    c_LastCoordinate = c;
    Draw(c - c_GrabOffset);
    Q_EMIT Scrolled(1);
}

void UC_Slider::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (c_RefuseInput == -1) return;
    const std::int16_t button = MouseInput::ButtonCode(pEvent->button());
    if (c_ArrowHeld[0] || c_ArrowHeld[1]) {
        if (pEvent->button() == Qt::LeftButton) {
            c_ArrowHeld = {false, false};
            TimerCheck.stop();
            c_Clicked = 0;
            update();
        }
        Q_EMIT MouseUD(false, button);
        return;
    }
    c_Clicked = 0;
    Q_EMIT MouseUD(false, button);
    if (pEvent->button() == Qt::LeftButton) Q_EMIT Scrolled(1);
}

void UC_Slider::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    if (c_RefuseInput == -1) return;
    const int arrow = ArrowAt(pEvent->position());
    if (arrow >= 0) {
        if (ArrowsActive() && pEvent->button() == Qt::LeftButton) ArrowPress(arrow);
        return;
    }
    // The press of the second click: the thumb goes where it went on the first.
    c_Clicked = -1;
    Q_EMIT DblClicked();
    Q_EMIT Scrolled(1);
}

void UC_Slider::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    if (c_Ready) Init2();
}

void UC_Slider::PaintArrow(QPainter& pPainter, int pIndex) const {
    const QRect box = ArrowRect(pIndex);
    if (box.isEmpty()) return;
    const bool held = c_ArrowHeld[std::size_t(pIndex)];
    const QRect face = box.adjusted(1, 1, -1, -1).translated(held ? 1 : 0, held ? 1 : 0);
    Skin::PaintSkin(pPainter, face, c_IsVertical != 0 ? Skin::kGradientAcross : Skin::kGradient);
    Skin::DrawEdge(pPainter, box, held);
    // A small chevron pointing away from the track.
    const QPointF centre = QRectF(face).center();
    const double size = std::max(2.0, std::min(face.width(), face.height()) * 0.18);
    QPainterPath path;
    const double sign = pIndex == 0 ? -1.0 : 1.0;
    if (c_IsVertical != 0) {
        path.moveTo(centre.x() - size * 1.4, centre.y() - sign * size * 0.7);
        path.lineTo(centre.x(), centre.y() + sign * size * 0.7);
        path.lineTo(centre.x() + size * 1.4, centre.y() - sign * size * 0.7);
    } else {
        path.moveTo(centre.x() - sign * size * 0.7, centre.y() - size * 1.4);
        path.lineTo(centre.x() + sign * size * 0.7, centre.y());
        path.lineTo(centre.x() - sign * size * 0.7, centre.y() + size * 1.4);
    }
    pPainter.save();
    pPainter.setRenderHint(QPainter::Antialiasing, true);
    const bool active = ArrowsActive() && isEnabled();
    pPainter.setPen(QPen(Palette::SystemColor(active ? Palette::k3DDarkShadow : Palette::kButtonShadow), 1.6,
                         Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    pPainter.drawPath(path);
    pPainter.restore();
}

void UC_Slider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect track = TrackRect();
    painter.fillRect(rect(), Palette::SystemColor(Palette::kButtonFace));
    Skin::PaintSkin(painter, track, Skin::kFlat, -1,
                    Palette::FromQColor(Palette::SystemColor(Palette::k3DLight)));
    for (int i = 0; i < 2; ++i)
        PaintArrow(painter, i);
    if (!c_Ready) return;
    // The thumb fills the track when it cannot travel.
    const float travel = Travel();
    const double offset = Support::ToPixels(c_ThumbPosition);
    const QSizeF thumb = PictureGrad.deviceIndependentSize();
    if (c_IsVertical != 0) {
        const double length = travel > 0 ? thumb.height() : std::max(1, track.height() - 4);
        painter.drawPixmap(QRectF(track.left() + 2, track.top() + 2 + offset, thumb.width(), length),
                           PictureGrad, QRectF(QPointF(0, 0), QSizeF(PictureGrad.size())));
    } else {
        const double length = travel > 0 ? thumb.width() : std::max(1, track.width() - 4);
        painter.drawPixmap(QRectF(track.left() + 2 + offset, track.top() + 2, length, thumb.height()),
                           PictureGrad, QRectF(QPointF(0, 0), QSizeF(PictureGrad.size())));
    }
}
