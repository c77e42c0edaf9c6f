#include "controls/UC_Buttons.h"

#include "controls/IconSheet.h"
#include "controls/MouseInput.h"
#include "controls/Palette.h"
#include "controls/Skin.h"
#include "support/Rounding.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

constexpr std::int32_t kDefaultSelected = Palette::Rgb(0, 208, 0);
constexpr std::int32_t kWhite = Palette::Rgb(255, 255, 255);

int FaceStyle(std::int32_t pDesign) {
    switch (pDesign) {
    case 1:
        return Skin::kFaceFlat;
    case 2:
        return Skin::kFaceTwoTone;
    case 3:
        return Skin::kFaceQuiet;
    default:
        return Skin::kFaceRound;
    }
}

// Light caption colours vanish on the light faces; such captions get a darker face beneath.
bool IsLight(const QColor& pColor) {
    return 0.299 * pColor.red() + 0.587 * pColor.green() + 0.114 * pColor.blue() > 150;
}

bool IsPressKey(int pKey) {
    return pKey == Qt::Key_Space || pKey == Qt::Key_Return || pKey == Qt::Key_Enter;
}

} // namespace

UC_Buttons::UC_Buttons(QWidget* pParent)
    : QWidget(pParent)
    , c_Buttons(1) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    SelectedColor(kDefaultSelected);
    c_Shade = BrightnessShade(Palette::FromQColor(Palette::SystemColor(Palette::kButtonFace)), 60);
}

std::int32_t UC_Buttons::BrightnessShade(std::int32_t pFace, int pBrightness) {
    const QColor face = Palette::ToQColor(pFace);
    const int average = RoundToInt32((face.red() + face.green() + face.blue()) / 3.0);
    const auto channel = [&](int pValue) {
        if (average == 0) return std::clamp(pBrightness, 0, 255);
        return std::clamp(RoundToInt32(double(pBrightness) / average * pValue), 0, 255);
    };
    const std::int32_t shade = Palette::Rgb(channel(face.red()), channel(face.green()), channel(face.blue()));
    return shade == 0 ? 1 : shade;
}

void UC_Buttons::NumButtons(std::int32_t pValue) {
    c_Buttons.assign(std::size_t(std::max<std::int32_t>(1, pValue)), Button{});
    c_Pressed = -1;
    c_FocusButton = -1;
    c_KeyPressed = -1;
    c_LaidOut = false;
    update();
}

void UC_Buttons::DesignType(std::int32_t pValue) {
    c_DesignType = pValue;
    if (pValue == 1) SelectedColor(kWhite);
}

void UC_Buttons::SelectedColor(std::int32_t pValue) {
    c_SelectedColor = pValue;
    c_SelectedDark = Palette::FromQColor(Palette::Shifted(Palette::ToQColor(pValue), -70));
    update();
}

void UC_Buttons::SelectedButton(std::int16_t pValue) {
    const int old = c_SelectedButton;
    c_SelectedButton = pValue;
    if (Valid(old)) DrawButton(old, 0);
    if (Valid(pValue)) DrawButton(pValue, 0);
}

void UC_Buttons::FontSize(float pValue) {
    c_FontSize = pValue;
    ApplyFont();
}

void UC_Buttons::FontFace(const std::string& pValue) {
    c_FontFace = pValue;
    ApplyFont();
}

void UC_Buttons::FontBold(std::int32_t pValue) {
    c_FontBold = pValue;
    ApplyFont();
}

void UC_Buttons::Disable3D(std::int32_t pValue) {
    c_Disable3D = pValue;
    update();
}

void UC_Buttons::NoGrayAtDisabled(std::int32_t pValue) {
    c_NoGrayAtDisabled = pValue;
    update();
}

void UC_Buttons::ApplyFont() {
    const int index =
        Support::ApplyUiFont(this, -2, nullptr, c_FontSize, c_FontBold != 0 ? -1 : 0, 0, c_FontFace);
    c_FontIndex = index >= 0 ? index : 0;
    if (!c_LaidOut) return;
    for (int i = 0; i < NumButtons(); ++i)
        PlaceContent(i);
    update();
}

const QPixmap& UC_Buttons::PiclibHdc() {
    if (PictureIcons.isNull()) MakeIconSheet();
    return PictureIcons;
}

void UC_Buttons::MakeIconSheet() {
    PictureIcons = QPixmap::fromImage(IconSheet::Make(Skin::DevicePixelRatio(this)));
    c_Tinted = false;
}

void UC_Buttons::TintIconSheet() {
    QImage sheet = PiclibHdc().toImage();
    IconSheet::Tint(sheet, Palette::SystemColor(Palette::kButtonFace));
    PictureIcons = QPixmap::fromImage(sheet);
    c_Tinted = true;
}

void UC_Buttons::MakeFaceTiles() {
    const QSize tile(std::max(1, c_ButtonWidth), std::max(1, c_Height));
    c_FaceTile = Skin::MakeSurface(tile, this);
    QPainter painter(&c_FaceTile);
    const QRect area(QPoint(0, 0), tile);
    Skin::PaintSkin(painter, area, Skin::kBackground);
    Skin::PaintSkin(painter, area, FaceStyle(c_DesignType));
    painter.end();
    c_HighlightTile = Skin::MakeSurface(tile, this);
    QPainter accent(&c_HighlightTile);
    Skin::PaintSkin(accent, area, FaceStyle(c_DesignType));
    accent.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QColor slate = Palette::SystemColor(2);
    slate.setAlpha(225);
    accent.fillRect(area, slate);
    accent.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    Skin::PaintSkin(accent, area, Skin::kBackground);
}

void UC_Buttons::Init() {
    c_SelectedDark = Palette::FromQColor(Palette::Shifted(Palette::ToQColor(c_SelectedColor), -70));
    ApplyFont();
    const bool anyPicture = std::any_of(c_Buttons.begin(), c_Buttons.end(),
                                        [](const Button& b) { return b.PicNormal >= 0 || b.PicActive >= 0; });
    if (anyPicture && !c_Tinted) TintIconSheet();
    c_Mimi = c_MimiWidth == -1 ? (c_DesignType == 0 ? 8 : 0) : std::max(0, c_MimiWidth);
    const int count = NumButtons();
    c_ButtonWidth = std::max(0, (width() - 2 * c_Mimi - 2) / count);
    c_Height = height();
    resize(c_ButtonWidth * count + 2 * c_Mimi + 2, c_Height);
    MakeFaceTiles();
    c_LaidOut = true;
    for (int i = 0; i < count; ++i) {
        PlaceContent(i);
        c_Buttons[std::size_t(i)].Drawn = 0;
    }
    update();
}

void UC_Buttons::PlaceContent(int pIndex) {
    Button& button = c_Buttons[std::size_t(pIndex)];
    const double left = ButtonLeft(pIndex);
    if (button.PicNormal >= 0 || button.PicActive >= 0) {
        button.Y = RoundToInt32(c_Height / 2.0 - IconSheet::kCellSize / 2.0);
        button.X = RoundToInt32(left + c_ButtonWidth / 2.0 - IconSheet::kCellSize / 2.0);
        return;
    }
    const QFontMetrics metrics(Support::UiFontAt(c_FontIndex).Font);
    button.Shown = Skin::FitTextToWidth(button.Caption, std::max(1, c_ButtonWidth - 4), false, metrics);
    button.Y = RoundToInt32(c_Height / 2.0 - metrics.height() / 2.0);
    button.X = RoundToInt32(left + c_ButtonWidth / 2.0 - metrics.horizontalAdvance(button.Shown) / 2.0);
}

void UC_Buttons::DrawAll() {
    for (int i = 0; i < NumButtons(); ++i)
        DrawButton(i, 0);
}

void UC_Buttons::DrawButton(int pIndex, int pType) {
    if (!Valid(pIndex)) return;
    c_Buttons[std::size_t(pIndex)].Drawn = pType;
    update(ButtonRect(pIndex));
}

void UC_Buttons::SetButtonState(int pIndex, int pMode) {
    if (Valid(pIndex)) DrawButton(pIndex, pMode);
}

QRect UC_Buttons::ButtonRect(int pIndex) const {
    if (!Valid(pIndex)) return {};
    return {ButtonLeft(pIndex), 0, c_ButtonWidth, c_Height};
}

int UC_Buttons::ButtonAtX(double pX) const {
    if (!c_LaidOut) return -1;
    const int x = RoundToInt32(pX);
    const int last = NumButtons() - 1;
    if (x < ButtonLeft(0) || x > ButtonLeft(last) + c_ButtonWidth) return -1;
    for (int i = 0; i <= last; ++i)
        if (x < ButtonLeft(i) + c_ButtonWidth) return i;
    return -1;
}

bool UC_Buttons::IsEnabled(int pIndex) const {
    const Button& button = c_Buttons[std::size_t(pIndex)];
    return button.Disabled == 0 && button.TempDisabled == 0;
}

std::int32_t UC_Buttons::GetButtonDisable(int pIndex, int pTemp) const {
    if (!Valid(pIndex)) return 0;
    const Button& button = c_Buttons[std::size_t(pIndex)];
    return pTemp != 0 ? button.TempDisabled : button.Disabled;
}

QString UC_Buttons::GetButtonChar(int pIndex) const {
    return Valid(pIndex) ? c_Buttons[std::size_t(pIndex)].Caption : QString();
}

std::int32_t UC_Buttons::GetButtonOn(int pIndex) const {
    return Valid(pIndex) ? c_Buttons[std::size_t(pIndex)].On : 0;
}

void UC_Buttons::SetButtonDisable(int pIndex, std::int32_t pValue, int pDraw, int pTemp) {
    if (!Valid(pIndex)) return;
    Button& button = c_Buttons[std::size_t(pIndex)];
    (pTemp != 0 ? button.TempDisabled : button.Disabled) = pValue;
    if (pDraw != 0) DrawButton(pIndex, 0);
}

void UC_Buttons::SetButtonDisableAll(std::int32_t pValue, int pTemp) {
    for (int i = 0; i < NumButtons(); ++i)
        SetButtonDisable(i, pValue, c_Buttons[std::size_t(i)].UsesActive == 0 ? 1 : 0, pTemp);
}

void UC_Buttons::SetButtonChar(int pIndex, const QString& pValue) {
    if (!Valid(pIndex)) return;
    Button& button = c_Buttons[std::size_t(pIndex)];
    button.Caption = pValue;
    button.PicNormal = -1;
    button.PicActive = -1;
    if (c_LaidOut) {
        PlaceContent(pIndex);
        update(ButtonRect(pIndex));
    }
}

void UC_Buttons::SetButtonCharNum() {
    for (int i = 0; i < NumButtons(); ++i)
        SetButtonChar(i, QString::number(i + 1));
}

void UC_Buttons::SetPicIndexn(int pIndex, int pValue) {
    if (!Valid(pIndex)) return;
    Button& button = c_Buttons[std::size_t(pIndex)];
    button.PicNormal = pValue;
    button.Caption.clear();
    button.Shown.clear();
}

void UC_Buttons::SetPicIndexa(int pIndex, int pValue) {
    if (!Valid(pIndex)) return;
    Button& button = c_Buttons[std::size_t(pIndex)];
    button.PicActive = pValue;
    button.UsesActive = 1;
    button.Caption.clear();
    button.Shown.clear();
}

void UC_Buttons::SetButtonOn(int pIndex, std::int32_t pValue, int pDraw) {
    if (!Valid(pIndex)) return;
    c_Buttons[std::size_t(pIndex)].On = pValue;
    if (pDraw != 0) DrawButton(pIndex, 0);
}

void UC_Buttons::SetPresets(const std::vector<std::pair<int, int>>& pPictures, int pUsesActive) {
    NumButtons(std::int32_t(pPictures.size()));
    for (std::size_t i = 0; i < pPictures.size(); ++i) {
        SetPicIndexn(int(i), pPictures[i].first);
        SetPicIndexa(int(i), pPictures[i].second);
        c_Buttons[i].UsesActive = pUsesActive;
    }
}

void UC_Buttons::SetButtonsMCI() {
    SetPresets({{1, 9}, {2, 10}, {3, 11}}, 1);
}

void UC_Buttons::SetButtonsPCXplay() {
    SetPresets({{15, 18}, {16, 19}, {1, 9}, {3, 11}, {17, 20}}, 1);
}

void UC_Buttons::SetButtonsEditorCtrl() {
    SetPresets({{4, 4}, {5, 5}, {6, 6}, {7, 7}}, 0);
}

void UC_Buttons::SetButtonsEditorPlay() {
    SetPresets({{0, 8}, {1, 9}, {2, 10}, {3, 11}}, 1);
}

void UC_Buttons::SetOKCancel(int pOKIsZero, int pNoSize, std::int32_t pType) {
    NumButtons(2);
    const QString ok = QStringLiteral("OK");
    const QString cancel = QStringLiteral("キャンセル");
    SetButtonChar(0, pOKIsZero != 0 ? ok : cancel);
    SetButtonChar(1, pOKIsZero != 0 ? cancel : ok);
    DesignType(pType);
    if (pNoSize == 0) resize(RoundToInt32(Support::ToPixels(2400)), RoundToInt32(Support::ToPixels(330)));
    Init();
}

void UC_Buttons::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Skin::BackColor());
    if (!c_LaidOut) return;
    if (c_Mimi > 0) {
        const double ratio = c_FaceTile.devicePixelRatio();
        const QRectF source(0, 0, c_Mimi * ratio, c_FaceTile.height());
        const int rightPiece = c_ButtonWidth * NumButtons() + c_Mimi + 1;
        painter.drawPixmap(QRectF(0, 0, c_Mimi, c_Height), c_FaceTile, source);
        painter.drawPixmap(QRectF(rightPiece, 0, c_Mimi, c_Height), c_FaceTile, source);
        const QColor line = Palette::SystemColor(Palette::k3DDarkShadow);
        painter.fillRect(QRect(c_Mimi, 0, 1, c_Height), line);
        painter.fillRect(QRect(width() - 1, 0, 1, c_Height), line);
    }
    for (int i = 0; i < NumButtons(); ++i)
        PaintButton(painter, i);
}

void UC_Buttons::PaintButton(QPainter& pPainter, int pIndex) const {
    const Button& button = c_Buttons[std::size_t(pIndex)];
    const int offset = button.Drawn == 1 ? 1 : 0;
    const bool pushedOrLit = button.Drawn == 1 || button.Drawn == 2;
    const QRect cell = ButtonRect(pIndex);
    const bool hasPicture = button.PicNormal >= 0 || button.PicActive >= 0;
    const bool highlighted = button.On == 1 || pushedOrLit || pIndex == c_SelectedButton;
    const bool lightCaption =
        !hasPicture && highlighted && IsEnabled(pIndex) && IsLight(Palette::ToQColor(c_SelectedColor));
    pPainter.save();
    pPainter.setClipRect(cell);
    pPainter.fillRect(cell, Skin::BackColor());
    pPainter.drawPixmap(QPointF(cell.left(), offset), lightCaption ? c_HighlightTile : c_FaceTile);
    if (hasPicture) {
        const int picture = button.UsesActive == 1 && pushedOrLit ? button.PicActive : button.PicNormal;
        IconSheet::Draw(pPainter, QPointF(button.X, button.Y + offset), PictureIcons, picture);
    } else if (!button.Shown.isEmpty()) {
        PaintCaption(pPainter, button, pIndex, offset, highlighted);
    }
    if (hasFocus() && pIndex == c_FocusButton) {
        pPainter.setRenderHint(QPainter::Antialiasing, true);
        QPen pen(Palette::ToQColor(c_Shade), 1, Qt::DotLine);
        pPainter.setPen(pen);
        pPainter.setBrush(Qt::NoBrush);
        pPainter.drawRoundedRect(QRectF(cell).adjusted(3.5, 3.5 + offset, -3.5, -3.5 + offset), 2, 2);
    }
    pPainter.restore();
}

void UC_Buttons::PaintCaption(QPainter& pPainter, const Button& pButton, int pIndex, int pOffset,
                              bool pHighlighted) const {
    const bool disabled = !IsEnabled(pIndex);
    const QFont& font = Support::UiFontAt(c_FontIndex).Font;
    pPainter.setFont(font);
    const int baseline = QFontMetrics(font).ascent();
    if (c_Disable3D == 0) {
        const QColor shadow = disabled       ? Palette::SystemColor(Palette::k3DHighlight)
                              : pHighlighted ? Palette::ToQColor(c_SelectedDark)
                                             : Palette::ToQColor(c_Shade);
        pPainter.setPen(shadow);
        pPainter.drawText(QPointF(pButton.X + 1, pButton.Y + pOffset + 1 + baseline), pButton.Shown);
    }
    // Disabled captions are grey: the highlight colour would vanish on the light faces.
    QColor main = Palette::SystemColor(Palette::k3DHighlight);
    if (disabled && c_NoGrayAtDisabled == 0)
        main = Palette::SystemColor(Palette::kGrayText);
    else if (pHighlighted)
        main = Palette::ToQColor(c_SelectedColor);
    else if (c_Disable3D != 0)
        main = Palette::ToQColor(c_Shade);
    pPainter.setPen(main);
    pPainter.drawText(QPointF(pButton.X, pButton.Y + pOffset + baseline), pButton.Shown);
}

void UC_Buttons::PressAt(const QPointF& pPoint, Qt::MouseButton pButton) {
    c_PressX = pPoint.x();
    c_Pressed = std::int16_t(ButtonAtX(c_PressX));
    if (c_Pressed < 0 || !IsEnabled(c_Pressed) || pButton != Qt::LeftButton) return;
    // The keys go on from the button last pressed, so the focus mark moves there.
    FocusButton(c_Pressed);
    DrawButton(c_Pressed, 1);
    Q_EMIT ButtonDown(c_Pressed);
}

void UC_Buttons::mousePressEvent(QMouseEvent* pEvent) {
    PressAt(pEvent->position(), pEvent->button());
}

void UC_Buttons::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    PressAt(QPointF(c_PressX, pEvent->position().y()), pEvent->button());
}

void UC_Buttons::mouseReleaseEvent(QMouseEvent* pEvent) {
    const std::int16_t pressed = c_Pressed;
    c_Pressed = -1;
    if (!Valid(pressed)) return;
    const bool left = pEvent->button() == Qt::LeftButton;
    const QPointF at = pEvent->position();
    const int start = ButtonLeft(pressed);
    const bool inside =
        at.x() >= start && at.x() <= start + c_ButtonWidth && at.y() >= 0 && at.y() <= c_Height;
    if (!IsEnabled(pressed) || !inside) {
        // Released elsewhere: the press came to nothing, so the button must not stay pushed.
        if (left && c_Buttons[std::size_t(pressed)].Drawn == 1) DrawButton(pressed, 0);
        return;
    }
    if (left) {
        DrawButton(pressed, 0);
        const std::int16_t shift = MouseInput::ShiftCode(pEvent->modifiers());
        if (shift != 0)
            Q_EMIT ShiftClicked(pressed, shift);
        else
            Q_EMIT ButtonClicked(pressed);
    } else if (pEvent->button() == Qt::RightButton) {
        Q_EMIT RightClicked(pressed);
    }
}

void UC_Buttons::mouseMoveEvent(QMouseEvent* pEvent) {
    const auto index = std::int16_t(ButtonAtX(pEvent->position().x()));
    if (index == c_LastHover) return;
    c_LastHover = index;
    Q_EMIT Hover(index);
}

void UC_Buttons::leaveEvent(QEvent* pEvent) {
    QWidget::leaveEvent(pEvent);
    if (c_LastHover == -1) return;
    c_LastHover = -1;
    Q_EMIT Hover(-1);
}

int UC_Buttons::NextEnabled(int pFrom, int pStep) const {
    for (int i = pFrom + pStep; Valid(i); i += pStep)
        if (IsEnabled(i)) return i;
    return -1;
}

void UC_Buttons::FocusButton(int pIndex) {
    const int old = c_FocusButton;
    c_FocusButton = pIndex;
    if (Valid(old)) update(ButtonRect(old));
    if (Valid(pIndex)) update(ButtonRect(pIndex));
}

void UC_Buttons::focusInEvent(QFocusEvent* pEvent) {
    QWidget::focusInEvent(pEvent);
    if (pEvent->reason() == Qt::BacktabFocusReason)
        FocusButton(NextEnabled(NumButtons(), -1));
    else if (pEvent->reason() == Qt::TabFocusReason || !Valid(c_FocusButton) || !IsEnabled(c_FocusButton))
        FocusButton(NextEnabled(-1, 1));
}

void UC_Buttons::focusOutEvent(QFocusEvent* pEvent) {
    QWidget::focusOutEvent(pEvent);
    if (Valid(c_KeyPressed)) DrawButton(c_KeyPressed, 0);
    c_KeyPressed = -1;
    FocusButton(c_FocusButton);
}

bool UC_Buttons::focusNextPrevChild(bool pNext) {
    if (hasFocus() && c_KeyPressed < 0) {
        const int next = NextEnabled(c_FocusButton, pNext ? 1 : -1);
        if (next >= 0) {
            FocusButton(next);
            return true;
        }
    }
    return QWidget::focusNextPrevChild(pNext);
}

void UC_Buttons::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Left || pEvent->key() == Qt::Key_Right) {
        const int next = NextEnabled(c_FocusButton, pEvent->key() == Qt::Key_Left ? -1 : 1);
        if (next >= 0) FocusButton(next);
        return;
    }
    if (!IsPressKey(pEvent->key())) {
        QWidget::keyPressEvent(pEvent);
        return;
    }
    if (pEvent->isAutoRepeat() || c_KeyPressed >= 0 || !Valid(c_FocusButton) || !IsEnabled(c_FocusButton))
        return;
    c_KeyPressed = c_FocusButton;
    DrawButton(c_KeyPressed, 1);
    Q_EMIT ButtonDown(std::int16_t(c_KeyPressed));
}

void UC_Buttons::keyReleaseEvent(QKeyEvent* pEvent) {
    if (!IsPressKey(pEvent->key()) || pEvent->isAutoRepeat() || c_KeyPressed < 0) {
        QWidget::keyReleaseEvent(pEvent);
        return;
    }
    const int pressed = c_KeyPressed;
    c_KeyPressed = -1;
    DrawButton(pressed, 0);
    if (IsEnabled(pressed)) Q_EMIT ButtonClicked(std::int16_t(pressed));
}
