#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

// An owner-drawn check box (or, with IsOption, an option button) with its caption to the right of
// a small sunken box. It sizes its width to the caption, can paint its background from a picture
// of its parent so that it blends into a painted window, and can share its box image with the
// other boxes of a window. Keyboard: Space toggles a focused box.
class UC_Check : public QWidget {
    Q_OBJECT
public:
    // The box image, shared between the boxes of one window.
    using BoxImage = std::shared_ptr<const QPixmap>;

    explicit UC_Check(QWidget* pParent = nullptr);

    [[nodiscard]] std::int16_t Enabled() const noexcept { return c_Enabled; }
    // 0 greys the caption and makes the box ignore clicks (and the Tab key).
    void Enabled(std::int16_t pValue);
    [[nodiscard]] QString Caption() const { return c_Caption; }
    // Lays out (the width follows the caption) and redraws.
    void Caption(const QString& pValue);
    [[nodiscard]] std::int32_t Value() const noexcept { return c_Value; }
    // 1 checked, 0 unchecked; redraws and raises no event.
    void Value(std::int32_t pValue);
    [[nodiscard]] std::int32_t IsOption() const noexcept { return c_IsOption; }
    void IsOption(std::int32_t pValue);
    void FontSize(float pValue);
    // The box side is round(SizeRate × 240) twips.
    void SizeRate(float pValue);
    // The box image; empty until the first layout makes one. Assigning another box's image before
    // the first layout means this box makes none of its own; assigning an empty one is ignored.
    [[nodiscard]] BoxImage Gradhdc() const { return c_Gradhdc; }
    void Gradhdc(BoxImage pValue);

    // Paints the background from pObj, taking this box's area at (pX, pY) twips in it: the parent
    // passes its own background picture and this box's position. pObj must stay alive (and may be
    // repainted) until CloseBGObj or the end of this box.
    void SetBGPic(float pX, float pY, const QPixmap* pObj);
    void CloseBGObj();
    void Draw();

    // Layout in pixels, valid after the first layout: the box's side and top.
    [[nodiscard]] int BoxSide() const;
    [[nodiscard]] int BoxTop() const noexcept { return c_BoxTop; }

Q_SIGNALS:
    void Click();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;

private:
    void Layout();
    void MakeBoxImage(int pSide);
    void UserClick();
    [[nodiscard]] float SideTwips() const;

    std::int16_t c_Enabled = -1;
    QString c_Caption;
    std::int32_t c_Value = 0;
    std::int32_t c_IsOption = 0;
    float c_FontSize = 9;
    float c_SizeRate = 1;
    BoxImage c_Gradhdc;
    bool c_OwnImage = false;
    const QPixmap* c_Background = nullptr;
    float c_BackgroundX = 0; // twips
    float c_BackgroundY = 0;

    bool c_LaidOut = false;
    int c_BoxTop = 0;       // pixels
    float c_CaptionTop = 0; // twips
    int c_FontIndex = 0;
};
