#pragma once

#include "controls/ListModel.h"
#include "controls/ListSurfaces.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ComboBox;
class QComboBox;
class QDragMoveEvent;
class QDropEvent;
class QHelpEvent;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QMimeData;
class QMouseEvent;
class QPainter;
class QScrollBar;
class QWheelEvent;
class UC_Slider;
namespace Support {
struct UiFontEntry;
}

// An owner-drawn multi-column list: items with one value per column and a few hidden values,
// rows under a strip of column tabs, single, Shift-range and Ctrl-toggle selection, sorting by
// clicking a tab, resizable and reorderable columns, in-place editors on the current row, scroll
// bars, and drag and drop.
//
// Units: positions and sizes are twips (Support::TwipsPerPixel() per pixel). The X and Y of every
// event are twips in the row area's own coordinates (0, 0 is the top left of the first visible
// row), so YsItem(Y) takes an event's Y as it is. Colours are red + green×256 + blue×65536 or a
// system colour reference (see Palette.h).
//
// The items, the columns, their index rules (-1 the current item, -2 the last one where a member
// says so) and the sorting are ListModel's; the members here forward to it. Mutating members never
// repaint: the host calls ReDraw (and SetVbarParm when the count changed) afterwards. Repainting is
// always a request; nothing here runs the event loop.
class UC_ListView : public QWidget {
    Q_OBJECT
public:
    using TabRecord = ListModel::TabRecord;
    using ItemRecord = ListModel::ItemRecord;
    // A scroll bar as the host and the tests see it.
    struct BarState {
        bool Visible = false;
        std::int32_t Min = 0;
        std::int32_t Max = 0;
        std::int32_t Value = 0;
        std::int32_t LargeChange = 0;
    };

    static constexpr std::int32_t kMinTabWidth = ListModel::kMinTabWidth;

    explicit UC_ListView(QWidget* pParent = nullptr);
    ~UC_ListView() override;

    // ---- settings (set before Init/InitTab unless noted)
    [[nodiscard]] std::int32_t NumData() const noexcept { return c_Model.NumData(); }
    void NumData(std::int32_t pValue) noexcept { c_Model.NumData(pValue); }
    [[nodiscard]] std::int32_t NumAux() const noexcept { return c_Model.NumAux(); }
    void NumAux(std::int32_t pValue) noexcept { c_Model.NumAux(pValue); }
    // 1: the bars are sliders; ignored once Init has run.
    [[nodiscard]] std::int32_t UseUCBar() const noexcept { return c_UseUCBar; }
    void UseUCBar(std::int32_t pValue) noexcept;
    void HbarDisabled(std::int32_t pValue) noexcept { c_HbarDisabled = pValue; }
    void VbarDisabled(std::int32_t pValue) noexcept { c_VbarDisabled = pValue; }
    // Non-zero: stripes on rows whose item index is odd.
    void UseMadara(std::int32_t pValue) noexcept { c_UseMadara = pValue; }
    void NoMultiSelect(std::int32_t pValue) noexcept { c_Model.NoMultiSelect(pValue); }
    // 1-based column: rows whose value there is blank get a grey band.
    void BorderIfBlank(std::int32_t pValue) noexcept { c_BorderIfBlank = pValue; }
    void NoOleScroll(std::int32_t pValue) noexcept { c_NoOleScroll = pValue; }
    [[nodiscard]] std::int32_t OneHeight() const noexcept { return c_Model.OneHeight(); }
    void OneHeight(std::int32_t pValue) noexcept { c_Model.OneHeight(pValue); }
    void SelectedColor(std::int32_t pValue) noexcept { c_SelectedColor = pValue; }
    // 9: the band is combined with the row by bitwise AND; 13: painted over it.
    void SelectedColorMode(std::int32_t pValue) noexcept { c_SelectedColorMode = pValue; }
    [[nodiscard]] std::int32_t NumWheelScroll() const noexcept { return c_NumWheelScroll; }
    void NumWheelScroll(std::int32_t pValue) noexcept { c_NumWheelScroll = pValue; }
    // Kept for hosts that set it; scrolling never runs the event loop here.
    void BarNoDoEvents(std::int32_t pValue) noexcept { c_BarNoDoEvents = pValue; }
    void NoAlign4Tab(std::int32_t pValue) noexcept { c_NoAlign4Tab = pValue; }
    // Non-zero: dragging with the left button scrolls instead of starting a drag.
    void UseScroll(std::int32_t pValue) noexcept { c_UseScroll = pValue; }
    void VLineColor(std::int32_t pValue) noexcept { c_VLineColor = pValue; }
    void InvertSelectedData(std::int32_t pValue) noexcept { c_InvertSelectedData = pValue; }
    void ShowToolTip(std::int32_t pValue) noexcept { c_ShowToolTip = pValue; }
    // Non-zero (and ShowToolTip 0): a cell whose text is cut shows its whole text as a tool tip.
    void CutToolTip(std::int32_t pValue) noexcept { c_CutToolTip = pValue; }
    [[nodiscard]] std::int32_t UseTabOrder() const noexcept { return c_UseTabOrder; }
    void UseTabOrder(std::int32_t pValue) noexcept { c_UseTabOrder = pValue; }
    [[nodiscard]] std::int32_t HideTextCombo() const noexcept { return c_HideTextCombo; }
    void HideTextCombo(std::int32_t pValue) noexcept { c_HideTextCombo = pValue; }
    [[nodiscard]] std::int32_t SortDisabled() const noexcept { return c_SortDisabled; }
    void SortDisabled(std::int32_t pValue) noexcept { c_SortDisabled = pValue; }
    void IconDisabled(std::int32_t pValue) noexcept { c_IconDisabled = pValue; }
    // 1: mouse and keyboard selection, clicks, double clicks, drags out and tool tips are
    // ignored (drops are still reported); any non-zero value: clicking a tab does not sort.
    [[nodiscard]] std::int32_t ClickDisabled() const noexcept { return c_ClickDisabled; }
    void ClickDisabled(std::int32_t pValue) noexcept { c_ClickDisabled = pValue; }
    void TabDisabled(std::int32_t pValue) noexcept { c_TabDisabled = pValue; }
    // Column of the last sort, -1 when the order is not a sort result.
    [[nodiscard]] std::int32_t OrderData() const noexcept { return c_Model.OrderData(); }
    void OrderData(std::int32_t pValue) noexcept { c_Model.OrderData(pValue); }
    [[nodiscard]] std::int32_t OrderInverted() const noexcept { return c_Model.OrderInverted(); }
    void OrderInverted(std::int32_t pValue) noexcept { c_Model.OrderInverted(pValue); }

    // ---- columns (pData: the column index); the model has the rules
    [[nodiscard]] std::string TabName(std::int32_t pData) const { return c_Model.TabName(pData); }
    void TabName(std::int32_t pData, const std::string& pValue) { c_Model.TabName(pData, pValue); }
    [[nodiscard]] std::int32_t TabWidth(std::int32_t pData) const { return c_Model.TabWidth(pData); }
    // No repaint.
    void TabWidth(std::int32_t pData, std::int32_t pValue) { c_Model.TabWidth(pData, pValue); }
    [[nodiscard]] std::int32_t TabHidden(std::int32_t pData) const { return c_Model.TabHidden(pData); }
    void TabHidden(std::int32_t pData, std::int32_t pValue) { c_Model.TabHidden(pData, pValue); }
    [[nodiscard]] std::int32_t TabAlign(std::int32_t pData) const { return c_Model.TabAlign(pData); }
    void TabAlign(std::int32_t pData, std::int32_t pValue) { c_Model.TabAlign(pData, pValue); }
    [[nodiscard]] std::int32_t DataNumeric(std::int32_t pData) const { return c_Model.DataNumeric(pData); }
    void DataNumeric(std::int32_t pData, std::int32_t pValue) { c_Model.DataNumeric(pData, pValue); }
    [[nodiscard]] std::int32_t TextIsTime(std::int32_t pData) const { return c_Model.TextIsTime(pData); }
    void TextIsTime(std::int32_t pData, std::int32_t pValue) { c_Model.TextIsTime(pData, pValue); }
    [[nodiscard]] std::int32_t FrontObj(std::int32_t pData) const { return c_Model.FrontObj(pData); }
    void FrontObj(std::int32_t pData, std::int32_t pValue) { c_Model.FrontObj(pData, pValue); }
    [[nodiscard]] std::int32_t UseTextCombo(std::int32_t pData) const { return c_Model.UseTextCombo(pData); }
    void UseTextCombo(std::int32_t pData, std::int32_t pValue) { c_Model.UseTextCombo(pData, pValue); }
    [[nodiscard]] std::int32_t TabOrder(std::int32_t pData) const { return c_Model.TabOrder(pData); }
    [[nodiscard]] std::int32_t TabLeft(std::int32_t pData) const { return c_Model.TabLeft(pData); }
    [[nodiscard]] std::int32_t TabRight(std::int32_t pData) const { return c_Model.TabRight(pData); }
    // No layout, no repaint.
    void SetTabOrder(std::int32_t pTab, std::int32_t pValue) { c_Model.SetTabOrder(pTab, pValue); }
    [[nodiscard]] std::int32_t ColumnAt(std::int32_t pPosition) const { return c_Model.ColumnAt(pPosition); }
    [[nodiscard]] bool TextComboVisible() const;

    // ---- items; the model has the rules
    [[nodiscard]] std::int32_t ItemCount() const noexcept { return c_Model.ItemCount(); }
    [[nodiscard]] std::int32_t TopItem() const noexcept { return c_Model.TopItem(); }
    [[nodiscard]] std::int32_t SelectedItem() const noexcept { return c_Model.SelectedItem(); }
    void SelectedItem(std::int32_t pValue) { SetSelectedItem(pValue); }
    void SetSelectedItem(std::int32_t pValue) { c_Model.SetSelectedItem(pValue); }
    [[nodiscard]] std::int32_t SelectedData() const noexcept { return c_Model.SelectedData(); }
    [[nodiscard]] const ListValue& Value(std::int32_t pIndex, std::int32_t pData) const {
        return c_Model.Value(pIndex, pData);
    }
    void Value(std::int32_t pIndex, std::int32_t pData, const ListValue& pValue) {
        c_Model.Value(pIndex, pData, pValue);
    }
    [[nodiscard]] const ListValue& AuxID(std::int32_t pIndex, std::int32_t pData) const {
        return c_Model.AuxID(pIndex, pData);
    }
    void AuxID(std::int32_t pIndex, std::int32_t pData, const ListValue& pValue) {
        c_Model.AuxID(pIndex, pData, pValue);
    }
    // Icon cell 0..10; -1 draws none.
    [[nodiscard]] std::int32_t IconType(std::int32_t pIndex) const { return c_Model.IconType(pIndex); }
    void IconType(std::int32_t pIndex, std::int32_t pValue) { c_Model.IconType(pIndex, pValue); }
    [[nodiscard]] std::int32_t DispColor(std::int32_t pIndex) const { return c_Model.DispColor(pIndex); }
    void DispColor(std::int32_t pIndex, std::int32_t pValue) { c_Model.DispColor(pIndex, pValue); }
    // Colour of a line along the top of the row; 0 draws none.
    [[nodiscard]] std::int32_t HLine(std::int32_t pIndex) const { return c_Model.HLine(pIndex); }
    void HLine(std::int32_t pIndex, std::int32_t pValue) { c_Model.HLine(pIndex, pValue); }
    [[nodiscard]] std::int32_t IsSelected(std::int32_t pIndex) const { return c_Model.IsSelected(pIndex); }
    void IsSelected(std::int32_t pIndex, std::int32_t pValue) { c_Model.IsSelected(pIndex, pValue); }
    [[nodiscard]] std::int32_t NumSelectedItems() const noexcept { return c_Model.NumSelectedItems(); }
    [[nodiscard]] bool MultiSelected() const noexcept { return c_Model.MultiSelected(); }
    // Position of the item's text in the column's combo editor; -1 when absent.
    [[nodiscard]] std::int32_t ComboIndex(std::int32_t pIndex, std::int32_t pData) const;
    [[nodiscard]] std::int32_t YsItem(float pY) const noexcept { return c_Model.YsItem(pY); }

    void AddItem(std::int32_t pNum) { c_Model.AddItem(pNum); }
    void InsertItem(std::int32_t pIndex, std::int32_t pNum) { c_Model.InsertItem(pIndex, pNum); }
    void DeleteItem(std::int32_t pIndex) { c_Model.DeleteItem(pIndex); }
    void DeleteItemEx(std::int32_t pIndex1, std::int32_t pIndex2) { c_Model.DeleteItemEx(pIndex1, pIndex2); }
    void DeleteAll() { c_Model.DeleteAll(); }
    void DeleteSelected() { c_Model.DeleteSelected(); }
    void SelectAll() noexcept { c_Model.SelectAll(); }
    void UnSelectAll() noexcept { c_Model.UnSelectAll(); }
    void ExchangeItem(std::int32_t pPlus) { c_Model.ExchangeItem(pPlus); }
    void MoveCursor(std::int32_t pIsDown) { c_Model.MoveCursor(pIsDown); }
    void ReOrder(std::int32_t pOrderItem, std::int32_t pForce, std::int32_t pReverse) {
        c_Model.ReOrder(pOrderItem, pForce, pReverse);
    }
    void RndItem() { c_Model.RndItem(); }
    void ResetNumTab() { c_Model.ResetNumTab(); }
    // Sizes every column to its widest value and repaints.
    void SetTabWidthAuto();

    // ---- editor entries
    void AddComboItem(std::int32_t pData, const std::string& pValue);
    void AddListItem(std::int32_t pData, const std::string& pValue);
    void ClearComboItem(std::int32_t pData);
    void ClearListItem(std::int32_t pData);
    // The wave input (pIsIn non-zero) or output devices into the column's combo and list editors,
    // through the filler the program installed (none: the editors stay empty).
    void LoadDevToLVCombo(std::int32_t pData, std::int32_t pIsIn);
    // Fills a combo box with the device names; the controls know no audio devices themselves.
    using DeviceFiller = std::function<void(ComboBox& pCombo, std::int32_t pIsIn)>;
    // For the whole process; returns the previous filler.
    static DeviceFiller SetDeviceFiller(DeviceFiller pFiller);

    // ---- set-up, layout, painting
    void SetStyle(float pSize, std::int32_t pBold, const std::string& pName, std::int32_t pForeColor,
                  std::int32_t pBackColor);
    void Init();
    void InitTab();
    void UserControl_Resize();
    void ReDraw();
    void ReDrawTab(std::int32_t pPushedData);
    void Refresh();
    void SetVbarParm();
    void VBarMove(std::int32_t pValue);
    void HBarMove(std::int32_t pValue);
    // Wheel entry: pValue × NumWheelScroll rows.
    void VBarScroll(std::int32_t pValue);
    void HBarScroll(std::int32_t pValue);
    // Scrolls so pItem is the top row (pSetToTop non-zero) or centred; with pIfHidden non-zero
    // only when it is not already visible. Repaints.
    void SetTopItem(std::int32_t pItem, std::int32_t pSetToTop, std::int32_t pIfHidden);
    void ShowItem(std::int32_t pTopItem, std::int32_t pIfHidden) { SetTopItem(pTopItem, 1, pIfHidden); }
    void ShowSelected(std::int32_t pIfHidden) { SetTopItem(SelectedItem(), 0, pIfHidden); }

    [[nodiscard]] QWidget* PictureAll() const noexcept { return c_PictureAll; }
    [[nodiscard]] QWidget* PictureTab() const noexcept { return c_PictureTab; }
    [[nodiscard]] QWidget* PictureList() const noexcept { return c_PictureList; }

    // ---- geometry (twips)
    [[nodiscard]] std::int32_t VisibleRows() const noexcept { return c_VisibleRows; }
    [[nodiscard]] std::int32_t HScrollOffset() const noexcept { return c_HScrollOffset; }
    [[nodiscard]] std::int32_t RowFillHeight() const noexcept { return c_RowFillHeight; }
    [[nodiscard]] std::int32_t TextTop() const noexcept { return c_TextTop; }
    [[nodiscard]] std::int32_t EditorTop() const noexcept { return c_EditorTop; }
    [[nodiscard]] std::int32_t TextMargin() const noexcept { return c_TextMargin; }
    [[nodiscard]] BarState VBarState() const;
    [[nodiscard]] BarState HBarState() const;
    // The column under X (twips, row or header coordinates).
    [[nodiscard]] std::int32_t TabAtX(float pX) const;
    // The column whose right edge lies within 5 pixels of X; -1 for none.
    [[nodiscard]] std::int32_t TabEdgeAtX(float pX) const;

    // One step of the automatic scrolling while something is dragged over the rows: the drag
    // events call it, and a timer while the pointer rests. X, Y twips; pNow seconds.
    void DragOverStep(float pX, float pY, double pNow);

    // The items the last row paint drew: first index and count.
    [[nodiscard]] std::int32_t PaintedFirst() const noexcept { return c_PaintedFirst; }
    [[nodiscard]] std::int32_t PaintedCount() const noexcept { return c_PaintedCount; }

    [[nodiscard]] QSize sizeHint() const override;
    // The width the rows have beside a vertical bar, in twips: what columns can fill without
    // calling for a horizontal bar whether or not the vertical one shows.
    [[nodiscard]] std::int32_t RowsWidthBesideBar() const;

Q_SIGNALS:
    void DblClicked();
    void TabMoved();
    void TabReOrderd();
    void RightClicked(float X, float Y);
    // Button: 1 left, 2 right, 4 middle. Shift: 1 Shift, 2 Ctrl, 4 Alt.
    void MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void Clicked(float X, float Y);
    // A drag of items starts: fill Data to drag them (nothing is dragged while it stays empty);
    // AllowedEffects 1 copy, 2 move, 4 link.
    void OLEStartDrag(QMimeData* Data, std::int32_t& AllowedEffects);
    void OLECompleteDrag(std::int32_t& Effect);
    // Something was dropped on the rows; DroppedFiles(*Data) (controls/DroppedFiles.h) gives the
    // files. Effect: the proposed effect, which the handler may change.
    void OLEDragDrop(const QMimeData* Data, std::int32_t& Effect, std::int16_t Button, std::int16_t Shift,
                     float X, float Y);
    void ComboChaged(std::int32_t pData, std::int32_t pValue);
    // pIsCombo 0 text box, 1 combo box; pAction 0 key up, 1 key down, 2 key press. KeyValue is a
    // virtual key code (key up and down) or a character code (key press); setting it to 0 for a
    // key down or key press swallows the key.
    void TextComboKeyAction(std::int32_t pIsCombo, std::int32_t pTab, std::int32_t pAction,
                            std::int16_t& KeyValue, std::int16_t& Shift);
    void OLEDragOver();
    // The Delete key was pressed on the rows.
    void KeyDeletePressed();
    // A tool tip is due over a cell of an item: pText is what the list would show (empty for
    // none), and the host may change it.
    void ToolTipText(std::int32_t pItem, std::int32_t pData, QString& pText);

protected:
    // The editors' keys.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;

private:
    friend class ListFrame;
    friend class ListHeaderStrip;
    friend class ListRows;

    // Either kind of scroll bar.
    struct Bar {
        QScrollBar* Plain = nullptr;
        UC_Slider* Slider = nullptr;
        [[nodiscard]] QWidget* Widget() const;
        [[nodiscard]] bool Exists() const { return Widget() != nullptr; }
        [[nodiscard]] bool Visible() const;
        [[nodiscard]] std::int32_t Min() const;
        [[nodiscard]] std::int32_t Max() const;
        [[nodiscard]] std::int32_t Value() const;
        [[nodiscard]] std::int32_t LargeChange() const;
        void SetRange(std::int32_t pMax, std::int32_t pLargeChange) const;
        void SetValue(std::int32_t pValue) const;
        [[nodiscard]] BarState State() const;
    };
    enum class EditorKind { Text = 1, Combo = 2, List = 4 };

    // surfaces and layout
    void CreateSurfaces();
    void CreateBars();
    void TakeTopFromBar();
    void TakeOffsetFromBar();
    void EnsureVisible(std::int32_t pItem);
    [[nodiscard]] float TwipsOfPixels(double pPixels) const;
    [[nodiscard]] int RowTopPixels(std::int64_t pRow) const;
    [[nodiscard]] int TwipsToPixels(double pTwips) const;
    [[nodiscard]] double TextHeightTwips() const;

    // painting
    void PaintRows(QPainter& pPainter);
    void PaintTabs(QPainter& pPainter);
    void PaintFrame(QPainter& pPainter);
    [[nodiscard]] static double BaselineOffset(const Support::UiFontEntry& pFont);
    void EnsureArtwork();

    // input
    void RowsMousePress(QMouseEvent* pEvent);
    void RowsMouseMove(QMouseEvent* pEvent);
    void RowsMouseRelease(QMouseEvent* pEvent);
    void RowsDoubleClick(QMouseEvent* pEvent);
    void RowsToolTip(QHelpEvent* pEvent);
    void TabsMouseMove(QMouseEvent* pEvent);
    void TabsMousePress(QMouseEvent* pEvent);
    void TabsMouseRelease(QMouseEvent* pEvent);
    void ShowSizingPointer(bool pShow);
    void StartDragOut();
    void RowsDragOver(QDragMoveEvent* pEvent);
    void RowsDragLeave();
    void RowsDrop(QDropEvent* pEvent);
    void MenuRCTab_Click(int pIndex);
    void MoveByKey(std::int32_t pTarget, bool pExtend);
    [[nodiscard]] std::int32_t RowAt(float pY) const noexcept;
    [[nodiscard]] static double SecondsNow();
    [[nodiscard]] QString CellText(std::int32_t pItem, std::int32_t pData) const;
    // The first shown column's text starts after the icon; the others 6 pixels into the cell.
    [[nodiscard]] float TextRoom(std::int32_t pData) const;
    [[nodiscard]] bool CellIsCut(std::int32_t pItem, std::int32_t pData) const;
    [[nodiscard]] QRect CellRect(std::int32_t pItem, std::int32_t pData) const;

    // editors
    void CreateEditor(EditorKind pKind);
    void PlaceEditors();
    void HideEditors();
    void ApplyEditorFonts();
    void TextLV_Change(int pIndex);
    void ComboLV_Click(int pIndex, int pEntry);
    void ComboLV_Edited(int pIndex, const QString& pText);
    void ListLV_Click(int pIndex, int pEntry);
    bool EditorKeyEvent(QObject* pEditor, QKeyEvent* pEvent, bool pRelease);
    [[nodiscard]] std::int32_t EditorColumn(EditorKind pKind, int pIndex) const;
    [[nodiscard]] QWidget* Editor(EditorKind pKind, std::int16_t pIndex) const;
    [[nodiscard]] QComboBox* ComboOf(std::int32_t pData, bool pList) const;
    void StoreEditorText(std::int32_t pData, const QString& pText);

    // the items, the columns and their rules
    ListModel c_Model;

    // settings
    std::int32_t c_UseUCBar = 0;
    std::int32_t c_HbarDisabled = 0;
    std::int32_t c_VbarDisabled = 0;
    std::int32_t c_UseMadara = 0;
    std::int32_t c_BorderIfBlank = 0;
    std::int32_t c_NoOleScroll = 0;
    std::int32_t c_SelectedColor = 0xC0A0A0;
    std::int32_t c_SelectedColorMode = 9;
    std::int32_t c_NumWheelScroll = 3;
    std::int32_t c_BarNoDoEvents = 0;
    std::int32_t c_NoAlign4Tab = 0;
    std::int32_t c_UseScroll = 0;
    std::int32_t c_VLineColor;
    std::int32_t c_InvertSelectedData = 0;
    std::int32_t c_ShowToolTip = 0;
    std::int32_t c_CutToolTip = 0;
    std::int32_t c_UseTabOrder = 0;
    std::int32_t c_HideTextCombo = 0;
    std::int32_t c_SortDisabled = 0;
    std::int32_t c_IconDisabled = 0;
    std::int32_t c_ClickDisabled = 0;
    std::int32_t c_TabDisabled = 0;

    // style
    std::int32_t c_BackColor;
    std::int32_t c_FontRows = -1;
    std::int32_t c_FontTab = -1;
    std::int32_t c_FontText = -1;
    std::int32_t c_FontCombo = -1;
    std::int32_t c_FontList = -1;
    bool c_Styled = false;
    bool c_Initialised = false;

    // geometry state (twips)
    std::int32_t c_RowFillHeight = 0;
    std::int32_t c_TextTop = 0;
    std::int32_t c_EditorTop = 0;
    std::int32_t c_TextMargin = 0;
    std::int32_t c_VisibleRows = 0;
    std::int32_t c_ListWidth = 0;
    std::int32_t c_ListHeight = 0;
    std::int32_t c_HScrollOffset = 0;
    std::int32_t c_DrawnTop = 0;
    std::int32_t c_PushedData = -1;
    float c_PressX = -1;
    float c_PressY = -1;
    std::int32_t c_PressVBar = 0;
    std::int32_t c_PressHBar = 0;
    bool c_MouseDown = false;
    std::int32_t c_ResizeTab = -1;
    std::int32_t c_MenuTab = 0;
    bool c_SizingPointer = false;
    int c_WheelRemainder = 0;
    double c_DragStepTime = -10;
    float c_DragLastX = -1;
    float c_DragLastY = -1;
    std::int32_t c_PaintedFirst = 0;
    std::int32_t c_PaintedCount = 0;
    bool c_SettingEditor = false;

    // surfaces
    ListFrame* c_PictureAll = nullptr;
    ListHeaderStrip* c_PictureTab = nullptr;
    ListRows* c_PictureList = nullptr;
    Bar c_HBar;
    Bar c_VBar;
    QPixmap PictureTabGrad;
    QPixmap PictureIcons;
    qreal c_IconsRatio = 0;
    std::vector<QLineEdit*> TextLV;
    std::vector<QComboBox*> ComboLV;
    std::vector<QComboBox*> ListLV;
    QMenu* MenuRCTabP = nullptr;
    QTimer c_DragTimer;
};
