#include "controls/UC_TextPicture.h"

#include "controls/DroppedFiles.h"
#include "controls/MouseInput.h"
#include "controls/Palette.h"
#include "controls/Skin.h"
#include "support/Rounding.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <iterator>

namespace {

struct StdSet {
    std::int32_t Text;
    std::int32_t Color2;
};

constexpr StdSet kStdSets[] = {
    {Palette::Rgb(144, 144, 144), Palette::Rgb(104, 104, 104)},
    {Palette::Rgb(176, 176, 208), Palette::Rgb(104, 104, 136)},
    {Palette::Rgb(208, 176, 176), Palette::Rgb(136, 104, 104)},
    {Palette::Rgb(176, 208, 176), Palette::Rgb(104, 136, 104)},
    {Palette::Rgb(224, 224, 224), Palette::Rgb(104, 104, 104)},
    {Palette::Rgb(224, 176, 144), Palette::Rgb(168, 120, 72)},
};

float KanjiHeight(int pFontIndex) {
    return Support::Px(float(QFontMetrics(Support::UiFontAt(pFontIndex).Font).height()));
}

} // namespace

UC_TextPicture::UC_TextPicture(QWidget* pParent)
    : QWidget(pParent)
    , c_ForeColor(Palette::SystemColorRef(Palette::kButtonText))
    , c_BackColor(Palette::SystemColorRef(Palette::kButtonFace)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
}

void UC_TextPicture::Init(std::int32_t pWakuWidth, std::int32_t pNoGrad) {
    if (c_DesignType != 0 && !c_Sets.empty()) {
        const int wide = std::max(1, width());
        const int high = std::max(1, height());
        PicText = Skin::MakeSurface(QSize(wide * ColorSetCount(), high), this);
        QPainter painter(&PicText);
        for (int i = 0; i < ColorSetCount(); ++i) {
            const ColorSet& set = c_Sets[std::size_t(i)];
            Skin::PaintFramedFill(painter, QRect(i * wide, 0, wide, high), set.Color1, set.Color2, pWakuWidth,
                                  pNoGrad);
        }
        c_StripWidth = wide;
    }
    Draw(-1);
}

void UC_TextPicture::ResetMe() {
    c_Spaces.clear();
    c_Sets.clear();
    c_DesignType = 0;
    c_CurrentSet = 0;
    c_Lite = -1;
    c_Pressed = false;
    PicText = QPixmap();
    c_StripWidth = 0;
    update();
}

void UC_TextPicture::AddTextSpace(float pSize, std::int32_t pBold, std::int32_t pItalic,
                                  const std::string& pFace, float pLeft, float pTop) {
    TextSpace space;
    const int index =
        Support::ApplyUiFont(nullptr, -2, nullptr, pSize, pBold != 0 ? -1 : 0, pItalic != 0 ? -1 : 0, pFace);
    space.FontIndex = std::max(0, index);
    space.Left = pLeft;
    const float textHeight = KanjiHeight(space.FontIndex);
    if (pTop == -1) {
        const std::string face = pFace.empty() ? Support::EnsureUiFontName() : pFace;
        float top = (Support::Px(float(height())) - textHeight) / 2;
        if (face == "メイリオ") top += Support::Px(1);
        space.Top = std::max(0.0F, top);
    } else {
        // Lifts a face with a tall line box so that its glyphs sit where a plain face's would.
        const float correction = Support::UiFontAt(space.FontIndex).HeightCorrection;
        space.Top = float(RoundHalfEven(double(pTop - (1 - correction) * textHeight / 2 + Support::Px(1))));
    }
    c_Spaces.push_back(space);
}

void UC_TextPicture::AddColorSet(std::int32_t pFontColor, std::int32_t pColor1, std::int32_t pColor2,
                                 std::int32_t pColor3) {
    c_Sets.push_back({pFontColor, pColor1, pColor2, pColor3});
    c_DesignType = 1;
}

void UC_TextPicture::AddStdColorSet(std::int32_t pType) {
    c_DesignType = 1;
    if (pType < 0 || pType >= std::int32_t(std::size(kStdSets))) return;
    AddColorSet(kStdSets[pType].Text, 0, kStdSets[pType].Color2, 0);
}

void UC_TextPicture::SetColor(std::int32_t pType, std::int32_t pDraw) {
    if (c_DesignType == 0)
        c_PlainFill = pType;
    else if (pType >= 0 && pType < ColorSetCount())
        c_CurrentSet = pType;
    if (pDraw != 0) Draw(-1);
}

void UC_TextPicture::SetColorEx(std::int32_t pForeColor, std::int32_t pBackColor, std::int32_t pDraw) {
    c_ForeColor = pForeColor;
    c_BackColor = pBackColor;
    c_PlainFill = -1;
    if (pDraw != 0) Draw(-1);
}

void UC_TextPicture::DispMes(std::int32_t pIndex, const QString& pStr, std::int32_t DontDraw) {
    if (!ValidSpace(pIndex) || c_Spaces[std::size_t(pIndex)].Text == pStr) return;
    c_Spaces[std::size_t(pIndex)].Text = pStr;
    if (DontDraw == 0) Draw(-1);
}

QString UC_TextPicture::TextMes(std::int32_t pIndex) const {
    return ValidSpace(pIndex) ? c_Spaces[std::size_t(pIndex)].Text : QString();
}

void UC_TextPicture::TextColor(std::int32_t pIndex, std::int32_t pColor) {
    if (ValidSpace(pIndex)) c_Spaces[std::size_t(pIndex)].Color = pColor;
}

float UC_TextPicture::TextTop(std::int32_t pIndex) const {
    return ValidSpace(pIndex) ? c_Spaces[std::size_t(pIndex)].Top : 0;
}

void UC_TextPicture::Draw(std::int32_t plite) {
    c_Lite = plite;
    update();
}

void UC_TextPicture::DesignType(std::int32_t pValue) {
    c_DesignType = pValue;
    update();
}

void UC_TextPicture::IsFlat(std::int32_t pValue) {
    c_IsFlat = pValue;
    update();
}

void UC_TextPicture::UseClick(std::int32_t pIndex, std::int32_t pValue) {
    if (ValidSpace(pIndex)) c_Spaces[std::size_t(pIndex)].Clickable = pValue;
}

std::int32_t UC_TextPicture::HitTest(float pX, float pY) const {
    std::int32_t best = -1;
    for (int i = 0; i < TextSpaceCount(); ++i) {
        const TextSpace& space = c_Spaces[std::size_t(i)];
        // Centred slots have no fixed place to hit.
        if (space.Left == -1 || space.Top == -1 || space.Left >= pX || space.Top >= pY) continue;
        if (best < 0) {
            best = i;
            continue;
        }
        const TextSpace& winner = c_Spaces[std::size_t(best)];
        if (space.Top > winner.Top || (space.Top == winner.Top && space.Left > winner.Left)) best = i;
    }
    return std::max(0, best);
}

void UC_TextPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool sets = c_DesignType != 0;
    QColor base = Palette::ToQColor(c_ForeColor);
    bool baseIsSystem = Palette::IsSystemColorRef(c_ForeColor);
    if (sets && !c_Sets.empty() && !PicText.isNull()) {
        const double ratio = PicText.devicePixelRatio();
        const int set = std::clamp(c_CurrentSet, 0, ColorSetCount() - 1);
        painter.fillRect(rect(), Palette::ToQColor(c_Sets[std::size_t(set)].Color2));
        painter.drawPixmap(QRectF(0, 0, c_StripWidth, PicText.deviceIndependentSize().height()), PicText,
                           QRectF(set * c_StripWidth * ratio, 0, c_StripWidth * ratio, PicText.height()));
        base = Palette::ToQColor(c_Sets[std::size_t(set)].FontColor);
        baseIsSystem = Palette::IsSystemColorRef(c_Sets[std::size_t(set)].FontColor);
    } else if (!sets && c_PlainFill >= 0) {
        Skin::PaintStandardFill(painter, rect(), c_PlainFill);
    } else {
        painter.fillRect(rect(), Palette::ToQColor(c_BackColor));
    }
    const int margin = !sets && c_IsFlat != 0 ? 2 : 4;
    for (int i = 0; i < TextSpaceCount(); ++i) {
        const TextSpace& space = c_Spaces[std::size_t(i)];
        const QFont& font = Support::UiFontAt(space.FontIndex).Font;
        const QFontMetrics metrics(font);
        double x = space.Left == -1
                       ? std::max(double(margin), (width() - metrics.horizontalAdvance(space.Text)) / 2.0)
                       : double(Support::ToPixels(space.Left));
        const QString shown = Skin::FitTextToWidth(space.Text, int(width() - x - margin), false, metrics);
        if (space.Left == -1)
            x = std::max(double(margin), (width() - metrics.horizontalAdvance(shown)) / 2.0);
        QColor colour = space.Color != -1 ? Palette::ToQColor(space.Color) : base;
        const bool system = space.Color != -1 ? Palette::IsSystemColorRef(space.Color) : baseIsSystem;
        if (i == c_Lite) colour = system ? QColor(Qt::white) : Palette::Shifted(colour, 30);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(QPointF(x, Support::ToPixels(space.Top) + metrics.ascent()), shown);
    }
    if (!sets && c_IsFlat == 0) Skin::DrawEdge(painter, rect(), true);
}

void UC_TextPicture::Press(std::int16_t pButton, const QPointF& pPoint) {
    const std::int32_t index = HitTest(Support::Px(float(pPoint.x())), Support::Px(float(pPoint.y())));
    if (ValidSpace(index) && c_Spaces[std::size_t(index)].Clickable != 0) Draw(index);
    c_Pressed = true;
    Q_EMIT MouseUD(pButton, true, index);
}

void UC_TextPicture::mousePressEvent(QMouseEvent* pEvent) {
    if (c_Locked != 0) return;
    Press(MouseInput::ButtonCode(pEvent->button()), pEvent->position());
}

void UC_TextPicture::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (c_Locked != 0 || !c_Pressed) return;
    c_Pressed = false;
    const QPointF at = pEvent->position();
    const std::int32_t index = HitTest(Support::Px(float(at.x())), Support::Px(float(at.y())));
    if (ValidSpace(index) && c_Spaces[std::size_t(index)].Clickable != 0) Draw(-1);
    Q_EMIT MouseUD(MouseInput::ButtonCode(pEvent->button()), false, index);
}

void UC_TextPicture::mouseDoubleClickEvent(QMouseEvent*) {
    if (c_Locked != 0) return;
    if (c_UseDblClick != 0)
        Q_EMIT DblClicked();
    else
        Press(1, QPointF(0, 0));
}

void UC_TextPicture::dragEnterEvent(QDragEnterEvent* pEvent) {
    if (c_Locked == 0 && HasDroppedFiles(*pEvent->mimeData())) pEvent->acceptProposedAction();
}

void UC_TextPicture::dragMoveEvent(QDragMoveEvent* pEvent) {
    if (c_Locked == 0 && HasDroppedFiles(*pEvent->mimeData())) pEvent->acceptProposedAction();
}

void UC_TextPicture::dropEvent(QDropEvent* pEvent) {
    if (c_Locked != 0) return;
    const std::vector<std::string> paths = DroppedFiles(*pEvent->mimeData());
    if (paths.empty()) return;
    pEvent->acceptProposedAction();
    const QPointF at = pEvent->position();
    Q_EMIT OLEDragDrop(paths, std::int32_t(pEvent->dropAction()), MouseInput::ButtonsCode(pEvent->buttons()),
                       MouseInput::ShiftCode(pEvent->modifiers()), Support::Px(float(at.x())),
                       Support::Px(float(at.y())));
}
