#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>

// An owner-drawn scroll bar or slider: a track with a draggable thumb of adjustable length and,
// unless switched off, an arrow at each end that steps the value and repeats while held. Lengths
// along the track are twips, as the host computes them.
class UC_Slider : public QWidget {
    Q_OBJECT
public:
    explicit UC_Slider(QWidget* pParent = nullptr);

    // Lays out the track, the arrows and the thumb, and paints; after orientation, arrows and size.
    void Init();
    // Recomputes the track length, travel and thumb image only (after the thumb length changed).
    void Init2();
    // Thumb length as a fraction of the track: 1 or more counts as 0.95, never below 8 pixels.
    void SetPointerSize(float pRate);

    [[nodiscard]] std::int32_t Value() const noexcept { return c_Value; }
    void Value(std::int32_t pValue);
    [[nodiscard]] std::int32_t Max() const noexcept { return c_Max; }
    void Max(std::int32_t pValue);
    [[nodiscard]] std::int32_t Min() const noexcept { return c_Min; }
    void Min(std::int32_t pValue);
    [[nodiscard]] std::int32_t SmallChange() const noexcept { return c_SmallChange; }
    void SmallChange(std::int32_t pValue) noexcept { c_SmallChange = pValue; }
    [[nodiscard]] std::int32_t LargeChange() const noexcept { return c_LargeChange; }
    void LargeChange(std::int32_t pValue) noexcept { c_LargeChange = pValue; }
    // Thumb length in twips.
    [[nodiscard]] std::int32_t PointerSize() const noexcept { return c_PointerSize; }
    void PointerSize(std::int32_t pValue);

    [[nodiscard]] std::int32_t IsVertical() const noexcept { return c_IsVertical; }
    void IsVertical(std::int32_t pValue) noexcept { c_IsVertical = pValue; }
    void NoArrow(std::int32_t pValue) noexcept { c_NoArrow = pValue; }
    void NoGrad(std::int32_t pValue) noexcept { c_NoGrad = pValue; }
    void Disabletrim(std::int16_t pValue) noexcept { c_Disabletrim = pValue; }
    void RefuseInput(std::int16_t pValue) noexcept { c_RefuseInput = pValue; }
    void CenterLined(std::int16_t pValue) noexcept { c_CenterLined = pValue; }
    // -1 from a press on the track or an arrow until its release.
    [[nodiscard]] std::int16_t Clicked() const noexcept { return c_Clicked; }

    // Geometry in twips along the track: its length less 4 pixels, and the thumb's travel and start.
    [[nodiscard]] float TrackLength() const noexcept { return c_TrackLength; }
    [[nodiscard]] float Travel() const noexcept { return c_TrackLength - float(c_PointerSize); }
    [[nodiscard]] float ThumbPosition() const noexcept { return c_ThumbPosition; }
    // The arrow ends and the track between them, in pixels of this widget.
    [[nodiscard]] QRect ArrowRect(int pIndex) const;
    [[nodiscard]] QRect TrackRect() const;

Q_SIGNALS:
    void MouseUD(bool IsDown, std::int16_t nButton);
    void Scrolled(std::int16_t nButton);
    void DblClicked();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;

private:
    // The thumb dragged to pPosition twips along the track.
    void Draw(float pPosition);
    void TimerCheck_Timer();
    void ArrowPress(int pIndex);
    [[nodiscard]] bool ArrowsActive() const noexcept;
    [[nodiscard]] float Along(const QPointF& pPoint) const;
    [[nodiscard]] int ArrowAt(const QPointF& pPoint) const;
    void PaintArrow(QPainter& pPainter, int pIndex) const;

    std::int32_t c_Min = 0;
    std::int32_t c_Max = 1000;
    std::int32_t c_Range = 1000;
    std::int32_t c_Value = 0;
    std::int32_t c_SmallChange = 10;
    std::int32_t c_LargeChange = 0;
    std::int32_t c_PointerSize = 480;
    std::int32_t c_IsVertical = 0;
    std::int32_t c_NoArrow = 0;
    std::int32_t c_NoGrad = 0;
    std::int16_t c_Disabletrim = 0;
    std::int16_t c_RefuseInput = 0;
    std::int16_t c_CenterLined = 0;
    std::int16_t c_Clicked = 0;

    float c_TrackLength = 0;
    float c_ThumbPosition = 0;
    float c_GrabOffset = 0;
    float c_LastCoordinate = -1;
    bool c_Ready = false;
    std::array<bool, 2> c_ArrowHeld{};
    QPixmap PictureGrad;
    QTimer TimerCheck;
};
