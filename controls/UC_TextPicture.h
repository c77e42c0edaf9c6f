#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

// A display panel of several text slots (text spaces), each with its own font and position, over
// either a plain background with a sunken edge or one of several pre-painted colour sets. The
// host writes messages into slots by index and switches colour sets to signal states; slots can
// be made clickable and then light up while pressed. Positions are twips.
class UC_TextPicture : public QWidget {
    Q_OBJECT
public:
    explicit UC_TextPicture(QWidget* pParent = nullptr);

    // Paints the backgrounds of the colour sets (frame of pWakuWidth pixels in colour 1, fill from
    // colour 2, flat with pNoGrad) and draws; again after any change of size or sets.
    void Init(std::int32_t pWakuWidth, std::int32_t pNoGrad);
    // Back to the empty plain state.
    void ResetMe();
    // A new slot; pLeft -1 centres it, pTop -1 centres it vertically.
    void AddTextSpace(float pSize, std::int32_t pBold, std::int32_t pItalic, const std::string& pFace,
                      float pLeft, float pTop);
    void AddColorSet(std::int32_t pFontColor, std::int32_t pColor1, std::int32_t pColor2,
                     std::int32_t pColor3);
    // One of the standard sets 0..5; any other type adds none but still selects colour-set mode.
    void AddStdColorSet(std::int32_t pType);
    // Colour-set mode: selects set pType when it exists. Plain mode: standard fill pType.
    void SetColor(std::int32_t pType, std::int32_t pDraw);
    void SetColorEx(std::int32_t pForeColor, std::int32_t pBackColor, std::int32_t pDraw);
    // Stores the message when it differs from the slot's text and draws unless DontDraw.
    void DispMes(std::int32_t pIndex, const QString& pStr, std::int32_t DontDraw = 0);
    [[nodiscard]] QString TextMes(std::int32_t pIndex) const;
    // The slot's own text colour in place of the colour set's; -1 goes back to the set's. Drawn
    // with the next Draw.
    void TextColor(std::int32_t pIndex, std::int32_t pColor);
    // Draws with slot plite highlighted (-1 none).
    void Draw(std::int32_t plite);

    [[nodiscard]] std::int32_t DesignType() const noexcept { return c_DesignType; }
    void DesignType(std::int32_t pValue);
    void UseDblClick(std::int32_t pValue) noexcept { c_UseDblClick = pValue; }
    void Locked(std::int32_t pValue) noexcept { c_Locked = pValue; }
    void IsFlat(std::int32_t pValue);
    void UseClick(std::int32_t pIndex, std::int32_t pValue);

    [[nodiscard]] int TextSpaceCount() const noexcept { return int(c_Spaces.size()); }
    [[nodiscard]] int ColorSetCount() const noexcept { return int(c_Sets.size()); }
    [[nodiscard]] int CurrentColorSet() const noexcept { return c_CurrentSet; }
    // The slot's top in twips, as computed when it was added.
    [[nodiscard]] float TextTop(std::int32_t pIndex) const;
    // The slot under a point (twips): the placed slot with the largest top (then left) above and
    // left of it; 0 when none.
    [[nodiscard]] std::int32_t HitTest(float pX, float pY) const;

Q_SIGNALS:
    void MouseUD(std::int16_t Button, bool IsDown, std::int32_t pIndex);
    void DblClicked();
    // Data: the dropped local files in drag order, as the file system spells them. Effect: the drop
    // action (1 copy, 2 move, 4 link). Button and Shift as the mouse events give them; X, Y twips.
    void OLEDragDrop(const std::vector<std::string>& Data, std::int32_t Effect, std::int16_t Button,
                     std::int16_t Shift, float X, float Y);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    struct TextSpace {
        int FontIndex = 0;
        float Left = -1; // twips
        float Top = 0;
        QString Text;
        std::int32_t Clickable = 0;
        std::int32_t Color = -1;
    };
    struct ColorSet {
        std::int32_t FontColor = 0;
        std::int32_t Color1 = 0;
        std::int32_t Color2 = 0;
        std::int32_t Color3 = 0;
    };

    [[nodiscard]] bool ValidSpace(std::int32_t pIndex) const noexcept {
        return pIndex >= 0 && pIndex < TextSpaceCount();
    }
    void Press(std::int16_t pButton, const QPointF& pPoint);

    std::vector<TextSpace> c_Spaces;
    std::vector<ColorSet> c_Sets;
    std::int32_t c_DesignType = 0;
    int c_CurrentSet = 0;
    std::int32_t c_IsFlat = 0;
    std::int32_t c_Locked = 0;
    std::int32_t c_UseDblClick = 0;
    std::int32_t c_ForeColor;
    std::int32_t c_BackColor;
    int c_PlainFill = -1;
    std::int32_t c_Lite = -1;
    bool c_Pressed = false;
    int c_StripWidth = 0; // panel width the strip was painted for
    QPixmap PicText;      // the strip: one background per colour set, side by side
};
