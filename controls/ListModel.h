#pragma once

#include "controls/ListValue.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The data and the rules of the list view, with no screen: columns and their display order,
// items, the current item and the selection, sorting, shuffling, inserting, deleting and moving.
// UC_ListView owns one and forwards to it; it links QtCore at most.
//
// Item arguments: 0..ItemCount() − 1 is an item, -1 the current item (SelectedItem), -2 the last
// item where a member says so; any other index makes a setter do nothing and a getter return 0,
// -1 or the empty value. Positions and widths are twips.
class ListModel {
public:
    struct TabRecord {
        std::string TabName;
        std::int32_t TabOrder = 0;
        std::int32_t TabHidden = 0;
        std::int32_t TabWidth = 1440;
        std::int32_t TabLeft = 0;
        std::int32_t TabRight = 0;
        std::int32_t TabAlign = 0;
        std::int32_t UseTextCombo = 0;
        std::int32_t FrontObj = 0;
        std::int16_t TextEditorIndex = -1;
        std::int16_t ComboEditorIndex = -1;
        std::int16_t ListEditorIndex = -1;
        std::int32_t TextIsTime = 0;
        std::int32_t DataNumeric = 0;
    };
    struct ItemRecord {
        std::int32_t IsSelected = 0;
        std::int32_t IconType = 0;
        std::int32_t DispColor = 0;
        std::int32_t HLine = 0;
        std::vector<ListValue> Value;
        std::vector<ListValue> AuxID;
    };
    // How many editors of each kind the columns ask for.
    struct EditorCounts {
        std::int16_t Texts = 0;
        std::int16_t Combos = 0;
        std::int16_t Lists = 0;
    };

    static constexpr std::int32_t kMinTabWidth = 450;

    // ---- settings
    [[nodiscard]] std::int32_t NumData() const noexcept { return c_NumData; }
    void NumData(std::int32_t pValue) noexcept;
    [[nodiscard]] std::int32_t NumAux() const noexcept { return c_NumAux; }
    void NumAux(std::int32_t pValue) noexcept;
    [[nodiscard]] std::int32_t NoMultiSelect() const noexcept { return c_NoMultiSelect; }
    void NoMultiSelect(std::int32_t pValue) noexcept { c_NoMultiSelect = pValue; }
    [[nodiscard]] std::int32_t OneHeight() const noexcept { return c_OneHeight; }
    void OneHeight(std::int32_t pValue) noexcept { c_OneHeight = pValue; }
    // The text colour of items AddItem makes.
    void ForeColor(std::int32_t pValue) noexcept { c_ForeColor = pValue; }
    [[nodiscard]] std::int32_t OrderData() const noexcept { return c_OrderData; }
    void OrderData(std::int32_t pValue) noexcept { c_OrderData = pValue; }
    [[nodiscard]] std::int32_t OrderInverted() const noexcept { return c_OrderInverted; }
    void OrderInverted(std::int32_t pValue) noexcept { c_OrderInverted = pValue; }

    // NumData columns in column order, laid out; no items.
    void Init();

    // ---- columns (pData: the column index)
    [[nodiscard]] const std::vector<TabRecord>& Tabs() const noexcept { return c_Tabs; }
    // Display position → column; always the inverse of the TabOrder fields.
    [[nodiscard]] const std::vector<std::int32_t>& DisplayOrder() const noexcept { return c_DisplayOrder; }
    [[nodiscard]] const TabRecord* Tab(std::int32_t pData) const noexcept;
    [[nodiscard]] std::string TabName(std::int32_t pData) const;
    void TabName(std::int32_t pData, const std::string& pValue);
    [[nodiscard]] std::int32_t TabWidth(std::int32_t pData) const;
    // Never below 450 twips; lays the columns out again.
    void TabWidth(std::int32_t pData, std::int32_t pValue);
    [[nodiscard]] std::int32_t TabHidden(std::int32_t pData) const;
    void TabHidden(std::int32_t pData, std::int32_t pValue);
    [[nodiscard]] std::int32_t TabAlign(std::int32_t pData) const;
    void TabAlign(std::int32_t pData, std::int32_t pValue);
    [[nodiscard]] std::int32_t DataNumeric(std::int32_t pData) const;
    void DataNumeric(std::int32_t pData, std::int32_t pValue);
    [[nodiscard]] std::int32_t TextIsTime(std::int32_t pData) const;
    void TextIsTime(std::int32_t pData, std::int32_t pValue);
    [[nodiscard]] std::int32_t FrontObj(std::int32_t pData) const;
    void FrontObj(std::int32_t pData, std::int32_t pValue);
    // Bit set of in-place editors: 1 text box, 2 editable combo box, 4 drop-down list.
    [[nodiscard]] std::int32_t UseTextCombo(std::int32_t pData) const;
    void UseTextCombo(std::int32_t pData, std::int32_t pValue);
    [[nodiscard]] std::int32_t TabOrder(std::int32_t pData) const;
    [[nodiscard]] std::int32_t TabLeft(std::int32_t pData) const;
    [[nodiscard]] std::int32_t TabRight(std::int32_t pData) const;
    // Moves column pTab to display position pValue (no layout).
    void SetTabOrder(std::int32_t pTab, std::int32_t pValue);
    // The column shown at display position pPosition, -1 outside.
    [[nodiscard]] std::int32_t ColumnAt(std::int32_t pPosition) const;
    // Whether pData is the first column shown, whose text starts after the icon.
    [[nodiscard]] bool FirstShown(std::int32_t pData) const;
    // TabLeft and TabRight from the widths, in display order; hidden columns take no width.
    void LayoutTabs();
    [[nodiscard]] std::int32_t LastTabRight() const;
    // Numbers each column's editors of each kind, in column order.
    EditorCounts AssignEditors();
    // Sizes every column to its widest value: pTextPixels measures a text in the row font, and
    // 16 pixels are added (32 for the first display position when pIcons).
    void FitTabWidths(const std::function<int(const QString&)>& pTextPixels, float pTwipsPerPixel,
                      bool pIcons);

    // ---- items
    [[nodiscard]] std::int32_t ItemCount() const noexcept { return std::int32_t(c_Items.size()); }
    // The item an index argument names; -3 for none. -2 names the last item only with pLastAllowed.
    [[nodiscard]] std::int32_t Resolve(std::int32_t pIndex, bool pLastAllowed) const noexcept;
    // Unchecked: pIndex must be an item.
    [[nodiscard]] const ItemRecord& Item(std::int32_t pIndex) const { return c_Items[std::size_t(pIndex)]; }
    [[nodiscard]] std::int32_t TopItem() const noexcept { return c_TopItem; }
    void TopItem(std::int32_t pValue) noexcept { c_TopItem = pValue; }
    // The current item, -1 for none.
    [[nodiscard]] std::int32_t SelectedItem() const noexcept { return c_SelectedItem; }
    // Clamped to -1..ItemCount − 1; a valid item also becomes selected (others keep theirs).
    void SetSelectedItem(std::int32_t pValue);
    // The column of the last left press on the rows.
    [[nodiscard]] std::int32_t SelectedData() const noexcept;
    void SelectedData(std::int32_t pValue) noexcept { c_SelectedData = pValue; }
    [[nodiscard]] const ListValue& Value(std::int32_t pIndex, std::int32_t pData) const;
    void Value(std::int32_t pIndex, std::int32_t pData, const ListValue& pValue);
    [[nodiscard]] const ListValue& AuxID(std::int32_t pIndex, std::int32_t pData) const;
    void AuxID(std::int32_t pIndex, std::int32_t pData, const ListValue& pValue);
    [[nodiscard]] std::int32_t IconType(std::int32_t pIndex) const;
    void IconType(std::int32_t pIndex, std::int32_t pValue);
    [[nodiscard]] std::int32_t DispColor(std::int32_t pIndex) const;
    void DispColor(std::int32_t pIndex, std::int32_t pValue);
    [[nodiscard]] std::int32_t HLine(std::int32_t pIndex) const;
    void HLine(std::int32_t pIndex, std::int32_t pValue);
    [[nodiscard]] std::int32_t IsSelected(std::int32_t pIndex) const;
    // IsSelected(-1, 0) also leaves no current item.
    void IsSelected(std::int32_t pIndex, std::int32_t pValue);
    [[nodiscard]] std::int32_t NumSelectedItems() const noexcept;
    [[nodiscard]] bool MultiSelected() const noexcept;
    // The item under Y (twips, row-area coordinates); ItemCount() below the last row.
    [[nodiscard]] std::int32_t YsItem(float pY) const noexcept;

    void AddItem(std::int32_t pNum);
    // Inserts before pIndex (-1: the current item; ItemCount() appends); pNum 0 means 1.
    void InsertItem(std::int32_t pIndex, std::int32_t pNum);
    void DeleteItem(std::int32_t pIndex);
    // Removes pIndex1..pIndex2 (clamped to the items); a reversed range removes nothing.
    void DeleteItemEx(std::int32_t pIndex1, std::int32_t pIndex2);
    void DeleteAll();
    void DeleteSelected();
    void SelectAll() noexcept;
    void UnSelectAll() noexcept;
    // Moves the current item pPlus places.
    void ExchangeItem(std::int32_t pPlus);
    void MoveCursor(std::int32_t pIsDown);
    // Sorts by column pOrderItem. pReverse -1 decides: ascending for a new column, after a
    // descending sort or with pForce 1, otherwise descending. The current item stays current.
    // Numeric columns put values that are not numbers (blank ones too) after all numbers, ordered
    // among themselves as text.
    void ReOrder(std::int32_t pOrderItem, std::int32_t pForce, std::int32_t pReverse);
    void RndItem();
    // After NumData or NumAux changed while items exist.
    void ResetNumTab();

    // ---- selecting with the mouse and the keys
    // A left press on item pRow with the modifiers pShift (1 Shift, 2 Ctrl, 4 Alt, summed).
    void PressRow(std::int32_t pRow, std::int16_t pShift);
    // The cursor keys to pTarget (clamped to the items); pExtend grows a range from where the
    // keyboard selection started. Nothing without items.
    void KeySelect(std::int32_t pTarget, bool pExtend);

private:
    [[nodiscard]] TabRecord* EditTab(std::int32_t pData) noexcept;
    [[nodiscard]] ItemRecord NewItem(std::int32_t pDispColor) const;
    void GrowStorage(std::size_t pCount);
    void ShrinkStorage();
    void KeepCursorInRange() noexcept;
    void SortAscending(std::int32_t pData);
    void SelectRange(std::int32_t pFrom, std::int32_t pTo);
    void SelectOnly(std::int32_t pIndex);

    std::int32_t c_NumData = 1;
    std::int32_t c_NumAux = 1;
    std::int32_t c_NoMultiSelect = 0;
    std::int32_t c_OneHeight = 0;
    std::int32_t c_ForeColor = 0;
    std::int32_t c_OrderData = -1;
    std::int32_t c_OrderInverted = 0;

    std::vector<TabRecord> c_Tabs;
    std::vector<std::int32_t> c_DisplayOrder;
    std::vector<ItemRecord> c_Items;
    std::int32_t c_TopItem = 0;
    std::int32_t c_SelectedItem = -1;
    std::int32_t c_SelectedData = 0;
    std::int32_t c_ShiftMode = 0;
    std::int32_t c_CtrlMode = 0;
    std::int32_t c_KeyAnchor = -1;
};
