// The list's surfaces, layout, scroll bars and painting. Geometry is kept in twips; the surfaces
// are placed and painted in pixels. Painting only ever happens in paint events: ReDraw and
// ReDrawTab request one.
#include "controls/IconSheet.h"
#include "controls/ListIconSheet.h"
#include "controls/Palette.h"
#include "controls/Skin.h"
#include "controls/UC_ListView.h"
#include "controls/UC_Slider.h"
#include "support/Rounding.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kBarTwips = 270;
constexpr int kHeaderTwips = 270;
// The frame around everything takes this many pixels on each side.
constexpr int kFrame = 2;
constexpr std::int32_t kFocusColor = Palette::Rgb(98, 140, 206);

QPainter::CompositionMode RasterMode(std::int32_t pMode) {
    switch (pMode) {
    case 7:
        return QPainter::RasterOp_SourceXorDestination;
    case 9:
        return QPainter::RasterOp_SourceAndDestination;
    case 15:
        return QPainter::RasterOp_SourceOrDestination;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

} // namespace

// ---- the two kinds of scroll bar

QWidget* UC_ListView::Bar::Widget() const {
    return Slider != nullptr ? static_cast<QWidget*>(Slider) : static_cast<QWidget*>(Plain);
}

bool UC_ListView::Bar::Visible() const {
    return Widget() != nullptr && !Widget()->isHidden();
}

std::int32_t UC_ListView::Bar::Min() const {
    return Slider != nullptr ? Slider->Min() : Plain != nullptr ? Plain->minimum() : 0;
}

std::int32_t UC_ListView::Bar::Max() const {
    return Slider != nullptr ? Slider->Max() : Plain != nullptr ? Plain->maximum() : 0;
}

std::int32_t UC_ListView::Bar::Value() const {
    return Slider != nullptr ? Slider->Value() : Plain != nullptr ? Plain->value() : 0;
}

std::int32_t UC_ListView::Bar::LargeChange() const {
    return Slider != nullptr ? Slider->LargeChange() : Plain != nullptr ? Plain->pageStep() : 0;
}

void UC_ListView::Bar::SetRange(std::int32_t pMax, std::int32_t pLargeChange) const {
    if (Slider != nullptr) {
        Slider->Max(pMax);
        Slider->LargeChange(pLargeChange);
    } else if (Plain != nullptr) {
        const QSignalBlocker quiet(Plain);
        Plain->setRange(0, pMax);
        Plain->setPageStep(pLargeChange);
    }
}

void UC_ListView::Bar::SetValue(std::int32_t pValue) const {
    if (Slider != nullptr) {
        Slider->Value(pValue);
    } else if (Plain != nullptr) {
        const QSignalBlocker quiet(Plain);
        Plain->setValue(pValue);
    }
}

UC_ListView::BarState UC_ListView::Bar::State() const {
    return {Visible(), Min(), Max(), Value(), LargeChange()};
}

UC_ListView::BarState UC_ListView::VBarState() const {
    return c_VBar.State();
}

UC_ListView::BarState UC_ListView::HBarState() const {
    return c_HBar.State();
}

// ---- surfaces

void UC_ListView::CreateSurfaces() {
    setFocusPolicy(Qt::StrongFocus);
    c_PictureAll = new ListFrame(*this, this);
    c_PictureAll->setObjectName(QStringLiteral("PictureAll"));
    c_PictureTab = new ListHeaderStrip(*this, c_PictureAll);
    c_PictureTab->setObjectName(QStringLiteral("PictureTab"));
    c_PictureList = new ListRows(*this, c_PictureAll);
    c_PictureList->setObjectName(QStringLiteral("PictureList"));
    for (QWidget* surface : std::initializer_list<QWidget*>{c_PictureAll, c_PictureTab, c_PictureList})
        surface->setAttribute(Qt::WA_OpaquePaintEvent);
    c_PictureTab->setMouseTracking(true);
    c_PictureList->setMouseTracking(true);
    c_PictureList->setAcceptDrops(true);
    for (const EditorKind kind : {EditorKind::Text, EditorKind::Combo, EditorKind::List})
        CreateEditor(kind);
    MenuRCTabP = new QMenu(this);
    MenuRCTabP->setObjectName(QStringLiteral("MenuRCTabP"));
    c_DragTimer.setInterval(10);
    connect(&c_DragTimer, &QTimer::timeout, this, [this] {
        // The pointer rests: drag events only come with motion.
        DragOverStep(c_DragLastX, c_DragLastY, SecondsNow());
    });
}

void UC_ListView::CreateBars() {
    if (c_VBar.Exists()) return;
    if (c_UseUCBar == 1) {
        for (const bool vertical : {false, true}) {
            auto* slider = new UC_Slider(c_PictureAll);
            slider->setObjectName(vertical ? QStringLiteral("VBarName") : QStringLiteral("HBarName"));
            slider->NoGrad(1);
            slider->IsVertical(vertical ? 1 : 0);
            slider->SmallChange(vertical ? 1 : std::int32_t(std::lround(Support::Px(1))));
            slider->Init();
            slider->hide();
            // The rows follow the thumb while it moves, not only when it is let go.
            const auto take = [this, vertical] { vertical ? TakeTopFromBar() : TakeOffsetFromBar(); };
            connect(slider, &UC_Slider::MouseUD, this, take);
            connect(slider, &UC_Slider::Scrolled, this, take);
            (vertical ? c_VBar : c_HBar).Slider = slider;
        }
    } else {
        for (const bool vertical : {false, true}) {
            auto* bar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, c_PictureAll);
            bar->setObjectName(vertical ? QStringLiteral("VBarName") : QStringLiteral("HBarName"));
            bar->setFocusPolicy(Qt::NoFocus);
            bar->setSingleStep(vertical ? 1 : int(std::lround(Support::Px(1))));
            bar->hide();
            connect(bar, &QScrollBar::valueChanged, this,
                    [this, vertical] { vertical ? TakeTopFromBar() : TakeOffsetFromBar(); });
            (vertical ? c_VBar : c_HBar).Plain = bar;
        }
    }
}

int UC_ListView::TwipsToPixels(double pTwips) const {
    return int(std::lround(pTwips / double(Support::TwipsPerPixel())));
}

float UC_ListView::TwipsOfPixels(double pPixels) const {
    return float(pPixels * double(Support::TwipsPerPixel()));
}

// The first pixel row whose twips position lies in row pRow, so that painting and the hit test
// (Y div OneHeight) agree pixel for pixel.
int UC_ListView::RowTopPixels(std::int64_t pRow) const {
    return int(std::ceil(double(pRow) * double(OneHeight()) / double(Support::TwipsPerPixel()) - 1e-6));
}

float UC_ListView::TextRoom(std::int32_t pData) const {
    const TabRecord* tab = c_Model.Tab(pData);
    if (tab == nullptr) return 0;
    return float(tab->TabWidth) - (c_Model.FirstShown(pData) ? float(c_TextMargin) : Support::Px(6));
}

double UC_ListView::TextHeightTwips() const {
    const Support::UiFontEntry& font = Support::UiFontAt(c_FontRows);
    return double(QFontMetrics(font.Font).height()) * double(Support::TwipsPerPixel()) *
           double(font.HeightCorrection);
}

// ---- set-up and layout

void UC_ListView::SetStyle(float pSize, std::int32_t pBold, const std::string& pName, std::int32_t pForeColor,
                           std::int32_t pBackColor) {
    c_FontRows = Support::ApplyUiFont(c_PictureList, -2, nullptr, pSize, pBold, 0, pName);
    c_FontTab = Support::ApplyUiFont(c_PictureTab, -2, nullptr, 0, 0, 0, std::string());
    c_FontText = c_FontCombo = c_FontList = c_FontRows;
    ApplyEditorFonts();
    c_Model.ForeColor(pForeColor);
    c_BackColor = pBackColor;
    c_Model.OneHeight(0);
    c_RowFillHeight = 0;
    c_Styled = true;
}

void UC_ListView::Init() {
    c_Model.Init();
    c_TextMargin = std::int32_t(std::lround(Support::Px(c_IconDisabled != 0 ? 6 : 22)));
    if (!c_Styled)
        SetStyle(9, 0, Support::EnsureUiFontName(), Palette::SystemColorRef(Palette::kWindowText),
                 Palette::SystemColorRef(Palette::kWindowBackground));
    CreateBars();
    c_PictureTab->setVisible(c_TabDisabled != 1);
    PictureTabGrad = Skin::MakeSurface(QSize(1, TwipsToPixels(kHeaderTwips)), this);
    {
        QPainter painter(&PictureTabGrad);
        Skin::PaintSkin(painter, QRect(QPoint(0, 0), PictureTabGrad.deviceIndependentSize().toSize()),
                        Skin::kGradient);
    }
    HideEditors();
    c_Initialised = true;
}

void UC_ListView::InitTab() {
    const auto assign = [](std::int32_t& pFont, QWidget* pWidget) {
        if (pFont == -1) pFont = Support::ApplyUiFont(pWidget, -2, nullptr, 0, 0, 0, std::string());
    };
    assign(c_FontRows, c_PictureList);
    assign(c_FontTab, c_PictureTab);
    assign(c_FontText, nullptr);
    assign(c_FontCombo, nullptr);
    assign(c_FontList, nullptr);

    MenuRCTabP->clear();
    for (std::int32_t k = 0; k < NumData(); ++k)
        connect(MenuRCTabP->addAction(QString::number(k + 1)), &QAction::triggered, this,
                [this, k] { MenuRCTab_Click(k); });

    const auto [texts, combos, lists] = c_Model.AssignEditors();
    while (std::int16_t(TextLV.size()) < texts)
        CreateEditor(EditorKind::Text);
    while (std::int16_t(ComboLV.size()) < combos)
        CreateEditor(EditorKind::Combo);
    while (std::int16_t(ListLV.size()) < lists)
        CreateEditor(EditorKind::List);
    ApplyEditorFonts();
    HideEditors();

    const double t = TextHeightTwips();
    const std::int32_t h = RoundToInt32(t * 1.4);
    const auto heightOf = [this](QWidget* pEditor) {
        return std::int32_t(std::lround(TwipsOfPixels(pEditor->sizeHint().height())));
    };
    std::int32_t e = h;
    if (combos > 0)
        e = heightOf(ComboLV.front()) + std::int32_t(std::lround(Support::Px(2)));
    else if (lists > 0)
        e = heightOf(ListLV.front()) + std::int32_t(std::lround(Support::Px(2)));
    else if (texts > 0)
        e = heightOf(TextLV.front()) + std::int32_t(std::lround(Support::Px(4)));
    c_Model.OneHeight(std::max({OneHeight(), e, h}));
    c_RowFillHeight = OneHeight();
    c_TextTop = RoundToInt32((double(OneHeight()) - t) / 2);
    const bool onlyTexts = texts > 0 && combos == 0 && lists == 0;
    c_EditorTop = c_TextTop - std::int32_t(std::lround(Support::Px(onlyTexts ? 2 : 4)));
    if (texts + combos + lists > 0) c_RowFillHeight += std::int32_t(std::lround(Support::Px(1)));
    const int textHeight = combos > 0  ? ComboLV.front()->sizeHint().height()
                           : lists > 0 ? ListLV.front()->sizeHint().height()
                                       : TwipsToPixels(OneHeight()) - 2;
    for (QLineEdit* editor : TextLV)
        editor->setFixedHeight(std::max(1, textHeight));
    UserControl_Resize();
}

void UC_ListView::UserControl_Resize() {
    if (!c_Initialised) return;
    if (TwipsOfPixels(width()) < 600 || TwipsOfPixels(height()) < 600) return;
    c_PictureAll->setGeometry(1, 0, width() - 2, height());
    c_PictureTab->setGeometry(kFrame, kFrame, c_PictureAll->width() - 2 * kFrame,
                              TwipsToPixels(kHeaderTwips));
    SetVbarParm();
    c_HBar.SetValue(0);
    c_HScrollOffset = 0;
    if (!c_VBar.Visible()) {
        c_Model.TopItem(0);
    } else {
        c_Model.TopItem(std::min(TopItem(), c_VBar.Max()));
        c_VBar.SetValue(TopItem());
    }
    c_DrawnTop = TopItem();
    ReDrawTab(-1);
    ReDraw();
}

void UC_ListView::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    UserControl_Resize();
}

std::int32_t UC_ListView::RowsWidthBesideBar() const {
    // The frame takes a pixel each side, the row area two more inside it.
    return std::int32_t(std::lround(TwipsOfPixels(width() - 2) - Support::Px(4))) - kBarTwips;
}

QSize UC_ListView::sizeHint() const {
    return {420, 260};
}

void UC_ListView::SetVbarParm() {
    if (!c_Initialised || !c_VBar.Exists()) return;
    const float allWidth = TwipsOfPixels(c_PictureAll->width());
    const float allHeight = TwipsOfPixels(c_PictureAll->height());
    const std::int32_t listTop = c_TabDisabled == 1 ? 0 : kHeaderTwips;
    const std::int32_t barWidth = kBarTwips;
    const std::int32_t barHeight = kBarTwips;
    std::int32_t h = std::int32_t(std::lround(allHeight - float(listTop) - Support::Px(4)));
    std::int32_t w = std::int32_t(std::lround(allWidth - Support::Px(4)));
    const std::int64_t count = ItemCount();
    const std::int64_t rowsHeight = count * std::int64_t(OneHeight());
    const bool vertical = c_VbarDisabled != 1 && count >= 1;
    bool needV = vertical && rowsHeight >= h;
    if (needV) w -= barWidth;
    const std::int32_t lastRight = c_Model.LastTabRight();
    const bool needH = c_HbarDisabled == 0 && w < lastRight;
    if (needH) {
        h -= barHeight;
        if (!needV && vertical && rowsHeight >= h) {
            needV = true;
            w -= barWidth;
        }
    }
    c_ListWidth = std::max(0, w);
    c_ListHeight = std::max(0, h);
    c_PictureList->setGeometry(kFrame, kFrame + TwipsToPixels(listTop), TwipsToPixels(c_ListWidth),
                               TwipsToPixels(c_ListHeight));
    c_VisibleRows = OneHeight() >= 1 ? c_ListHeight / OneHeight() : 0;

    if (needV) {
        const std::int32_t max = std::int32_t(std::max<std::int64_t>(1, count - c_VisibleRows + 1));
        const std::int32_t large = std::max(1, RoundToInt32(double(max) * c_VisibleRows / double(count)));
        c_VBar.Widget()->setGeometry(kFrame + TwipsToPixels(allWidth - float(barWidth) - Support::Px(4)),
                                     kFrame + TwipsToPixels(listTop), TwipsToPixels(barWidth),
                                     std::max(1, TwipsToPixels(c_ListHeight - Support::Px(4))));
        c_VBar.SetRange(max, large);
        if (c_VBar.Slider != nullptr) {
            c_VBar.Slider->Init();
            c_VBar.Slider->SetPointerSize(float(c_VisibleRows) / float(count));
        }
        c_VBar.Widget()->show();
        // The top row stays within the bar's range, so rows never vanish after a deletion.
        const std::int32_t top = std::clamp(TopItem(), 0, max);
        c_VBar.SetValue(top);
        if (top != TopItem()) {
            c_Model.TopItem(top);
            c_DrawnTop = top;
            ReDraw();
        }
    } else {
        c_VBar.SetValue(0);
        c_VBar.Widget()->hide();
        if (TopItem() != 0) {
            c_Model.TopItem(0);
            c_DrawnTop = 0;
            ReDraw();
        }
    }

    if (needH) {
        const std::int32_t max = std::max(1, lastRight - c_ListWidth);
        const std::int32_t large = std::max(1, RoundToInt32(double(max) * c_ListWidth / double(lastRight)));
        c_HBar.Widget()->setGeometry(kFrame,
                                     kFrame + TwipsToPixels(allHeight - float(barHeight) - Support::Px(4)),
                                     TwipsToPixels(c_ListWidth), TwipsToPixels(barHeight));
        c_HBar.SetRange(max, large);
        if (c_HBar.Slider != nullptr) {
            c_HBar.Slider->Init();
            c_HBar.Slider->SetPointerSize(float(c_ListWidth) / float(lastRight));
        }
        c_HBar.Widget()->show();
        c_HScrollOffset = c_HBar.Value();
    } else {
        c_HBar.SetValue(0);
        c_HBar.Widget()->hide();
        c_HScrollOffset = 0;
    }
}

void UC_ListView::Refresh() {
    SetVbarParm();
    c_VBar.SetValue(0);
    c_HBar.SetValue(0);
    c_Model.TopItem(0);
    c_DrawnTop = 0;
    c_HScrollOffset = 0;
    ReDraw();
    ReDrawTab(-1);
}

void UC_ListView::TakeTopFromBar() {
    c_Model.TopItem(c_VBar.Value());
    if (TopItem() != c_DrawnTop) {
        ReDraw();
        c_DrawnTop = TopItem();
    }
}

void UC_ListView::TakeOffsetFromBar() {
    c_HScrollOffset = c_HBar.Value();
    ReDrawTab(-1);
    ReDraw();
}

void UC_ListView::VBarMove(std::int32_t pValue) {
    if (c_VBar.Visible())
        c_VBar.SetValue(std::int32_t(
            std::clamp<std::int64_t>(std::int64_t(c_VBar.Value()) + pValue, c_VBar.Min(), c_VBar.Max())));
}

void UC_ListView::HBarMove(std::int32_t pValue) {
    if (c_HBar.Visible())
        c_HBar.SetValue(std::int32_t(
            std::clamp<std::int64_t>(std::int64_t(c_HBar.Value()) + pValue, c_HBar.Min(), c_HBar.Max())));
}

void UC_ListView::VBarScroll(std::int32_t pValue) {
    if (!c_VBar.Visible() || pValue == 0) return;
    VBarMove(std::int32_t(std::clamp<std::int64_t>(std::int64_t(pValue) * c_NumWheelScroll,
                                                   std::numeric_limits<std::int32_t>::min(),
                                                   std::numeric_limits<std::int32_t>::max())));
    TakeTopFromBar();
}

void UC_ListView::HBarScroll(std::int32_t pValue) {
    if (!c_HBar.Visible() || pValue == 0) return;
    HBarMove(pValue);
    TakeOffsetFromBar();
}

void UC_ListView::SetTopItem(std::int32_t pItem, std::int32_t pSetToTop, std::int32_t pIfHidden) {
    if (pItem >= 0 && pItem < ItemCount()) {
        if (!c_VBar.Visible()) {
            c_Model.TopItem(0);
        } else {
            const std::int64_t target = pSetToTop != 0 ? pItem : RoundHalfEven(pItem - c_VisibleRows / 2.0);
            const bool hidden =
                pItem < TopItem() || std::int64_t(pItem) > std::int64_t(TopItem()) + c_VisibleRows - 1;
            if (pIfHidden == 0 || hidden) {
                c_Model.TopItem(std::int32_t(std::clamp<std::int64_t>(target, 0, c_VBar.Max())));
                c_VBar.SetValue(TopItem());
                c_DrawnTop = TopItem();
            }
        }
    }
    ReDraw();
}

void UC_ListView::EnsureVisible(std::int32_t pItem) {
    const std::int32_t rows = std::max(1, c_VisibleRows);
    if (pItem < TopItem())
        SetTopItem(pItem, 1, 0);
    else if (std::int64_t(pItem) >= std::int64_t(TopItem()) + rows)
        SetTopItem(pItem - rows + 1, 1, 0);
    else
        ReDraw();
}

void UC_ListView::ReDraw() {
    if (!c_Initialised) return;
    PlaceEditors();
    c_PictureList->update();
}

void UC_ListView::ReDrawTab(std::int32_t pPushedData) {
    c_PushedData = pPushedData;
    if (!c_Initialised) return;
    PlaceEditors();
    c_PictureTab->update();
}

// ---- painting

void UC_ListView::EnsureArtwork() {
    // The sheet is stored at a ratio of whole device pixels per cell, which may differ from the
    // screen's: remember what it was made for.
    const qreal ratio = Skin::DevicePixelRatio(this);
    if (PictureIcons.isNull() || !qFuzzyCompare(c_IconsRatio, ratio)) {
        PictureIcons = QPixmap::fromImage(ListIconSheet::Make(ratio));
        c_IconsRatio = ratio;
    }
}

// From the top of the em box to the baseline: the ink of a tall ideograph and of Latin descenders
// is centred on the em box. The face's line box would not do: Japanese faces reserve much more
// room above the glyphs than below, and text placed by it sits low enough to reach the next row.
double UC_ListView::BaselineOffset(const Support::UiFontEntry& pFont) {
    const QFontMetricsF metrics(pFont.Font);
    const QRectF ink = metrics.tightBoundingRect(QStringLiteral("漢Åg"));
    const double em = metrics.height() * double(pFont.HeightCorrection);
    return em / 2 - (ink.top() + ink.bottom()) / 2;
}

void UC_ListView::PaintFrame(QPainter& pPainter) {
    const QRect all = c_PictureAll->rect();
    pPainter.fillRect(all, Palette::SystemColor(Palette::kButtonFace));
    Skin::DrawEdge(pPainter, all, true);
    pPainter.fillRect(all.adjusted(1, 1, -1, -1), Palette::ToQColor(c_BackColor));
    pPainter.fillRect(QRect(all.left() + 1, all.top() + 1, all.width() - 2, 1),
                      Palette::SystemColor(Palette::k3DLight));
    // The keys act on the rows: a ring inside the edge says so.
    if (hasFocus()) {
        pPainter.setPen(Palette::ToQColor(kFocusColor));
        pPainter.setBrush(Qt::NoBrush);
        pPainter.drawRect(all.adjusted(1, 1, -2, -2));
    }
}

void UC_ListView::focusInEvent(QFocusEvent* pEvent) {
    QWidget::focusInEvent(pEvent);
    c_PictureAll->update();
}

void UC_ListView::focusOutEvent(QFocusEvent* pEvent) {
    QWidget::focusOutEvent(pEvent);
    c_PictureAll->update();
}

void UC_ListView::PaintTabs(QPainter& pPainter) {
    const QRect strip = c_PictureTab->rect();
    pPainter.fillRect(strip, Palette::SystemColor(Palette::kButtonFace));
    if (!c_Initialised) return;
    const Support::UiFontEntry& font = Support::UiFontAt(c_FontTab);
    const QFontMetrics metrics(font.Font);
    const QRectF stripSource(0, 0, 1, PictureTabGrad.height());
    pPainter.setPen(Palette::SystemColor(Palette::kButtonText));
    pPainter.setFont(font.Font);
    const double baseline = BaselineOffset(font);
    for (const std::int32_t column : c_Model.DisplayOrder()) {
        const TabRecord& tab = c_Model.Tabs()[std::size_t(column)];
        if (tab.TabHidden == 1 || c_TabDisabled != 0) continue;
        const int pushed = column == c_PushedData ? 1 : 0;
        const QRect cell(TwipsToPixels(tab.TabLeft - c_HScrollOffset), 0, TwipsToPixels(tab.TabWidth),
                         strip.height());
        if (cell.right() < 0 || cell.left() > strip.width()) continue;
        pPainter.drawPixmap(QRectF(cell), PictureTabGrad, stripSource);
        const bool right = tab.TabAlign == 1;
        const QString caption =
            Skin::FitTextToWidth(QString::fromStdString(tab.TabName),
                                 TwipsToPixels(tab.TabWidth - Support::Px(6)), right, metrics);
        const int captionWidth = metrics.horizontalAdvance(caption);
        const double left =
            right && c_NoAlign4Tab == 0
                ? Support::ToPixels(float(tab.TabRight - c_HScrollOffset)) - captionWidth - (pushed + 6)
                : cell.left() + pushed + 6;
        pPainter.drawText(QPointF(left, std::round(pushed + 3 + baseline)), caption);
        Skin::DrawCellEdge(pPainter, cell, pushed != 0);
    }
}

void UC_ListView::PaintRows(QPainter& pPainter) {
    const QRect area = c_PictureList->rect();
    pPainter.fillRect(area, Palette::ToQColor(c_BackColor));
    c_PaintedFirst = TopItem();
    c_PaintedCount = 0;
    if (!c_Initialised || OneHeight() < 1) return;
    EnsureArtwork();
    const float tpp = Support::TwipsPerPixel();
    const int onePixel = 1;
    const std::int32_t rows = c_ListHeight / OneHeight();
    const auto rowTop = [&](std::int32_t pRow) { return RowTopPixels(pRow); };
    const auto pixelOf = [&](double pTwips) { return int(std::ceil(pTwips / double(tpp) - 1e-6)); };

    if (c_UseMadara != 0) {
        const QColor stripe(204, 255, 255);
        for (std::int32_t j = 0; j <= rows; ++j)
            if (((std::int64_t(TopItem()) + j) & 1) != 0)
                pPainter.fillRect(
                    QRect(0, rowTop(j) + onePixel, area.width(), rowTop(j + 1) - rowTop(j) - onePixel),
                    stripe);
    }
    const std::int32_t count = ItemCount();
    if (count > 0 && TopItem() < count) {
        const int iconOffset = RoundToInt32((double(OneHeight()) / tpp - 16) / 2);
        int x0 = 0;
        int x1 = area.width();
        if (c_InvertSelectedData == 1) {
            const std::int32_t column = SelectedData();
            x0 = column < 1 ? 0 : TwipsToPixels(TabRight(column - 1) - c_HScrollOffset);
            x1 = TwipsToPixels(TabRight(column) - c_HScrollOffset - Support::Px(2));
        }
        const Support::UiFontEntry& font = Support::UiFontAt(c_FontRows);
        const QFontMetrics metrics(font.Font);
        pPainter.setFont(font.Font);
        const double baseline = Support::ToPixels(float(c_TextTop)) + BaselineOffset(font);
        const QPainter::CompositionMode bandMode = RasterMode(c_SelectedColorMode);
        const QColor bandColor = Palette::ToQColor(c_SelectedColor);
        const std::int32_t blankColumn = c_BorderIfBlank - 1;
        for (std::int32_t j = 0; j <= rows && TopItem() + j < count; ++j) {
            const ItemRecord& item = c_Model.Item(TopItem() + j);
            const std::int64_t rowTwips = std::int64_t(j) * OneHeight();
            const int y = rowTop(j);
            const int fillBottom = pixelOf(double(rowTwips + c_RowFillHeight));
            ++c_PaintedCount;
            if (c_IconDisabled == 0 && c_HScrollOffset < Support::Px(16) && item.IconType != -1)
                IconSheet::Draw(pPainter, QPointF(2 - TwipsToPixels(c_HScrollOffset), y + iconOffset),
                                PictureIcons, item.IconType, ListIconSheet::kCellSize);
            pPainter.setPen(Palette::ToQColor(item.DispColor));
            bool first = true;
            for (const std::int32_t column : c_Model.DisplayOrder()) {
                const TabRecord& tab = c_Model.Tabs()[std::size_t(column)];
                if (tab.TabHidden == 1) continue;
                // TextRoom's margin; the loop already knows which column is the first shown.
                const float margin = first ? float(c_TextMargin) : Support::Px(6);
                const float start = first ? 0.0F : float(tab.TabLeft);
                first = false;
                if (column >= std::int32_t(item.Value.size())) continue;
                const float room = float(tab.TabWidth) - margin;
                const int left = TwipsToPixels(start + margin - float(c_HScrollOffset));
                const int rightEdge = TwipsToPixels(float(tab.TabRight - c_HScrollOffset) - Support::Px(6));
                if (std::max(left, rightEdge) < 0 || std::min(left, rightEdge) > area.width()) continue;
                const QString text = item.Value[std::size_t(column)].DisplayText();
                if (text.isEmpty()) continue;
                const QString shown = Skin::FitTextToWidth(text, TwipsToPixels(room), false, metrics);
                const double x = tab.TabAlign == 1 ? rightEdge - metrics.horizontalAdvance(shown) : left;
                pPainter.drawText(QPointF(x, std::round(y + baseline)), shown);
            }
            if (item.IsSelected == 1) {
                pPainter.setCompositionMode(bandMode);
                pPainter.fillRect(QRect(x0, y + onePixel, x1 - x0, fillBottom - y - onePixel), bandColor);
                pPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            }
            if (item.HLine != 0)
                pPainter.fillRect(QRect(x0, y, x1 - x0, onePixel), Palette::ToQColor(item.HLine));
            if (c_BorderIfBlank != 0 && blankColumn >= 0 && blankColumn < std::int32_t(item.Value.size()) &&
                item.Value[std::size_t(blankColumn)].IsBlank()) {
                pPainter.setCompositionMode(bandMode);
                pPainter.fillRect(QRect(x0, y + onePixel, x1 - x0, fillBottom - y - onePixel),
                                  QColor(0xE0, 0xE0, 0xE0));
                pPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            }
        }
    }
    const QColor line = Palette::ToQColor(c_VLineColor);
    for (const std::int32_t column : c_Model.DisplayOrder()) {
        const TabRecord& tab = c_Model.Tabs()[std::size_t(column)];
        if (tab.TabHidden == 1) continue;
        pPainter.fillRect(
            QRect(TwipsToPixels(tab.TabRight - c_HScrollOffset) - onePixel, 0, onePixel, area.height()),
            line);
    }
}
