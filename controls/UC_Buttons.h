#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

// A horizontal strip of equal owner-drawn buttons in one control. Each button shows a caption or
// a picture from the strip's own icon sheet, can be disabled (for good or for a while), switched
// on, highlighted and pushed; clicks, presses and hovering are reported by button index.
// Geometry is in pixels. Keyboard: Tab walks through the enabled buttons, Left/Right move between
// them, Space or Enter presses the focused one.
class UC_Buttons : public QWidget {
    Q_OBJECT
public:
    explicit UC_Buttons(QWidget* pParent = nullptr);

    // Lays out and draws; after the buttons are configured and again after a resize. Sets the
    // control's width to a whole number of buttons plus the end pieces.
    void Init();
    void DrawAll();
    // pType 0 normal, 1 pushed, 2 highlighted; the button keeps that look until drawn again.
    void DrawButton(int pIndex, int pType);
    void SetButtonState(int pIndex, int pMode);

    [[nodiscard]] std::int32_t NumButtons() const noexcept { return std::int32_t(c_Buttons.size()); }
    // At least 1; clears every caption, picture and flag.
    void NumButtons(std::int32_t pValue);
    [[nodiscard]] std::int32_t DesignType() const noexcept { return c_DesignType; }
    // 0..3; design 1 also makes the highlight colour white.
    void DesignType(std::int32_t pValue);
    // Width of the end pieces in pixels; -1 chooses by design (8 for design 0, else 0).
    [[nodiscard]] std::int32_t MimiWidth() const noexcept { return c_MimiWidth; }
    void MimiWidth(std::int32_t pValue) noexcept { c_MimiWidth = pValue; }
    [[nodiscard]] std::int32_t SelectedColor() const noexcept { return c_SelectedColor; }
    void SelectedColor(std::int32_t pValue);
    [[nodiscard]] std::int16_t SelectedButton() const noexcept { return c_SelectedButton; }
    void SelectedButton(std::int16_t pValue);
    void FontSize(float pValue);
    void FontFace(const std::string& pValue);
    void FontBold(std::int32_t pValue);
    void Disable3D(std::int32_t pValue);
    void NoGrayAtDisabled(std::int32_t pValue);
    void ToolTip(const QString& pValue) { setToolTip(pValue); }
    // The icon sheet, at the widget's device pixel ratio, for code that draws its cells elsewhere.
    [[nodiscard]] const QPixmap& PiclibHdc();

    // The temporary flag when pTemp is non-zero, else the permanent one; 0 out of range.
    [[nodiscard]] std::int32_t GetButtonDisable(int pIndex, int pTemp) const;
    [[nodiscard]] QString GetButtonChar(int pIndex) const;
    [[nodiscard]] std::int32_t GetButtonOn(int pIndex) const;

    void SetButtonDisable(int pIndex, std::int32_t pValue, int pDraw, int pTemp);
    void SetButtonDisableAll(std::int32_t pValue, int pTemp);
    // A caption replaces the pictures.
    void SetButtonChar(int pIndex, const QString& pValue);
    void SetButtonCharNum();
    // A picture (icon cell, -1 none) replaces the caption; the active one shows while pushed.
    void SetPicIndexn(int pIndex, int pValue);
    void SetPicIndexa(int pIndex, int pValue);
    void SetButtonOn(int pIndex, std::int32_t pValue, int pDraw);

    // Presets; the host calls Init afterwards.
    void SetButtonsMCI();
    void SetButtonsPCXplay();
    void SetButtonsEditorCtrl();
    void SetButtonsEditorPlay();
    // "OK" and "キャンセル" (OK first when pOKIsZero is non-zero), 2400 × 330 twips unless pNoSize; then
    // Init.
    void SetOKCancel(int pOKIsZero, int pNoSize, std::int32_t pType);

    // Layout, valid after Init: the button width and each button's cell, in pixels.
    [[nodiscard]] int ButtonWidth() const noexcept { return c_ButtonWidth; }
    [[nodiscard]] QRect ButtonRect(int pIndex) const;
    // The button at pixel column pX, -1 between or beside the buttons.
    [[nodiscard]] int ButtonAtX(double pX) const;
    // The face colour scaled to an average channel of pBrightness (a black face gives a neutral
    // grey of that brightness), never the colour value 0.
    [[nodiscard]] static std::int32_t BrightnessShade(std::int32_t pFace, int pBrightness);

Q_SIGNALS:
    void ButtonClicked(std::int16_t ClickedIndex);
    void RightClicked(std::int16_t ClickedIndex);
    void ShiftClicked(std::int16_t ClickedIndex, std::int16_t Shift);
    void ButtonDown(std::int16_t ClickedIndex);
    void Hover(std::int16_t pButtonIndex);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void keyReleaseEvent(QKeyEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    bool focusNextPrevChild(bool pNext) override;

private:
    struct Button {
        QString Caption;
        QString Shown; // the caption as it fits the button
        int PicNormal = -1;
        int PicActive = -1;
        int UsesActive = 0;
        std::int32_t On = 0;
        std::int32_t Disabled = 0;
        std::int32_t TempDisabled = 0;
        int X = 0; // caption or picture position
        int Y = 0;
        int Drawn = 0; // the look it was last drawn with
    };

    [[nodiscard]] bool Valid(int pIndex) const noexcept { return pIndex >= 0 && pIndex < NumButtons(); }
    [[nodiscard]] bool IsEnabled(int pIndex) const;
    [[nodiscard]] int ButtonLeft(int pIndex) const noexcept { return c_ButtonWidth * pIndex + c_Mimi + 1; }
    void ApplyFont();
    void PlaceContent(int pIndex);
    void MakeIconSheet();
    void TintIconSheet();
    void MakeFaceTiles();
    void PaintButton(QPainter& pPainter, int pIndex) const;
    void PaintCaption(QPainter& pPainter, const Button& pButton, int pIndex, int pOffset,
                      bool pHighlighted) const;
    void PressAt(const QPointF& pPoint, Qt::MouseButton pButton);
    void SetPresets(const std::vector<std::pair<int, int>>& pPictures, int pUsesActive);
    [[nodiscard]] int NextEnabled(int pFrom, int pStep) const;
    void FocusButton(int pIndex);

    std::vector<Button> c_Buttons;
    std::int32_t c_DesignType = 0;
    std::int32_t c_MimiWidth = -1;
    std::int32_t c_SelectedColor = 0;
    std::int32_t c_SelectedDark = 0;
    std::int16_t c_SelectedButton = -1;
    float c_FontSize = 9;
    std::string c_FontFace;
    std::int32_t c_FontBold = 0;
    std::int32_t c_Disable3D = 1;
    std::int32_t c_NoGrayAtDisabled = 0;
    std::int32_t c_Shade = 0;

    bool c_LaidOut = false;
    int c_Mimi = 0;
    int c_ButtonWidth = 0;
    int c_Height = 0;
    int c_FontIndex = 0;
    std::int16_t c_Pressed = -1;
    std::int16_t c_LastHover = -1;
    double c_PressX = 0;
    bool c_Tinted = false;
    int c_FocusButton = -1;
    int c_KeyPressed = -1;

    QPixmap PictureIcons;
    QPixmap c_FaceTile;      // PictureGrad(0): the face of one button
    QPixmap c_HighlightTile; // the face under a highlighted caption in a light colour
};
