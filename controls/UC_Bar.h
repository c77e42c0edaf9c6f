#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>

// A horizontal bar showing Value out of Max as a filled part over a sunken track, with an optional
// centred text; pressing and dragging with the left button seeks. While the user drags, values
// set by code are ignored so that progress updates cannot fight the pointer. Positions along the
// bar are twips.
class UC_Bar : public QWidget {
    Q_OBJECT
public:
    explicit UC_Bar(QWidget* pParent = nullptr);

    // Builds the track and fill images and draws; after the size, BarColor and NoGrad are set, and
    // again after a resize. Max becomes 1000 unless the host has set it.
    void Init();
    // Text font (points, bold -1 true, face, empty = the interface face) and colour.
    void SetStyle(float pSize, std::int32_t pBold, const std::string& pName, std::int32_t pForeColor);
    // Draws the fill ending at pValue twips from the left edge (kept within the track).
    void Draw(float pValue);

    [[nodiscard]] std::int32_t Value() const noexcept { return c_Value; }
    void Value(std::int32_t pValue);
    [[nodiscard]] std::int32_t Max() const noexcept { return c_Max; }
    // Negative values count as 0.
    void Max(std::int32_t pValue);
    [[nodiscard]] QString TextToDisp() const { return c_TextToDisp; }
    void TextToDisp(const QString& pValue);
    [[nodiscard]] std::int32_t Locked() const noexcept { return c_Locked; }
    void Locked(std::int32_t pValue) noexcept { c_Locked = pValue; }
    // 0 is the button-shadow colour.
    void BarColor(std::int32_t pValue) noexcept { c_BarColor = pValue; }
    void NoGrad(std::int32_t pValue) noexcept { c_NoGrad = pValue; }
    // -1 from a left press until its release.
    [[nodiscard]] std::int16_t Clicked() const noexcept { return c_Clicked; }

    // Track width in twips (inner width less 4 pixels), and the fill's tip in pixels.
    [[nodiscard]] float TrackWidth() const noexcept { return c_TrackWidth; }
    [[nodiscard]] int FillTip() const;

Q_SIGNALS:
    void MouseUD(bool IsDown);
    void Scrolled();
    void RightClicked(bool IsDown);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;

private:
    // Draws pValue and stores it, whatever the user is doing with the mouse.
    void Show(std::int32_t pValue);
    [[nodiscard]] std::int32_t ValueAt(float pX) const;

    std::int32_t c_Value = 0;
    std::int32_t c_Max = 1000;
    bool c_MaxSet = false;
    QString c_TextToDisp;
    std::int32_t c_Locked = 0;
    std::int32_t c_BarColor = 0;
    std::int32_t c_NoGrad = 0;
    std::int16_t c_Clicked = 0;
    std::int32_t c_ForeColor;
    int c_FontIndex = 0;

    float c_TrackWidth = 0;
    float c_DrawX = 0; // twips
    float c_LastX = -1;
    bool c_Ready = false;
    QPixmap PictureGrad; // upper half the empty track, lower half the filled bar
};
