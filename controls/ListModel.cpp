#include "controls/ListModel.h"

#include "support/Rounding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

namespace {

constexpr std::size_t kSpareItems = 200;

// The key of one item in a sort: numbers first (class 0), then text (class 1), lower-cased.
struct SortKey {
    int Class = 1;
    double Number = 0;
    QString Text;
};

bool Greater(const SortKey& pA, const SortKey& pB) {
    if (pA.Class != pB.Class) return pA.Class > pB.Class;
    if (pA.Class == 0) return pA.Number > pB.Number;
    return pA.Text > pB.Text;
}

template <typename Record, typename Field>
std::int32_t FieldOrZero(const Record* pRecord, Field Record::*pField) {
    return pRecord != nullptr ? std::int32_t(pRecord->*pField) : 0;
}

const ListValue& EmptyValue() {
    static const ListValue empty;
    return empty;
}

} // namespace

// ---- settings

void ListModel::NumData(std::int32_t pValue) noexcept {
    if (pValue >= 1) c_NumData = pValue;
}

void ListModel::NumAux(std::int32_t pValue) noexcept {
    if (pValue >= 0) c_NumAux = pValue;
}

void ListModel::Init() {
    c_Tabs.assign(std::size_t(c_NumData), TabRecord{});
    c_DisplayOrder.resize(std::size_t(c_NumData));
    for (std::int32_t column = 0; column < c_NumData; ++column) {
        c_Tabs[std::size_t(column)].TabOrder = column;
        c_DisplayOrder[std::size_t(column)] = column;
    }
    DeleteAll();
    c_Items.reserve(1);
    LayoutTabs();
}

// ---- columns

const ListModel::TabRecord* ListModel::Tab(std::int32_t pData) const noexcept {
    return pData >= 0 && pData < std::int32_t(c_Tabs.size()) ? &c_Tabs[std::size_t(pData)] : nullptr;
}

ListModel::TabRecord* ListModel::EditTab(std::int32_t pData) noexcept {
    return pData >= 0 && pData < std::int32_t(c_Tabs.size()) ? &c_Tabs[std::size_t(pData)] : nullptr;
}

std::string ListModel::TabName(std::int32_t pData) const {
    const TabRecord* tab = Tab(pData);
    return tab != nullptr ? tab->TabName : std::string();
}

void ListModel::TabName(std::int32_t pData, const std::string& pValue) {
    if (TabRecord* tab = EditTab(pData)) tab->TabName = pValue;
}

std::int32_t ListModel::TabWidth(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabWidth);
}

void ListModel::TabWidth(std::int32_t pData, std::int32_t pValue) {
    TabRecord* tab = EditTab(pData);
    if (tab == nullptr) return;
    tab->TabWidth = std::max(kMinTabWidth, pValue);
    LayoutTabs();
}

std::int32_t ListModel::TabHidden(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabHidden);
}

void ListModel::TabHidden(std::int32_t pData, std::int32_t pValue) {
    TabRecord* tab = EditTab(pData);
    if (tab == nullptr) return;
    tab->TabHidden = pValue;
    LayoutTabs();
}

std::int32_t ListModel::TabAlign(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabAlign);
}

std::int32_t ListModel::DataNumeric(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::DataNumeric);
}

std::int32_t ListModel::TextIsTime(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TextIsTime);
}

std::int32_t ListModel::FrontObj(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::FrontObj);
}

std::int32_t ListModel::UseTextCombo(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::UseTextCombo);
}

std::int32_t ListModel::TabOrder(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabOrder);
}

std::int32_t ListModel::TabLeft(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabLeft);
}

std::int32_t ListModel::TabRight(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabRight);
}

void ListModel::TabAlign(std::int32_t pData, std::int32_t pValue) {
    if (TabRecord* tab = EditTab(pData)) tab->TabAlign = pValue;
}

void ListModel::DataNumeric(std::int32_t pData, std::int32_t pValue) {
    if (TabRecord* tab = EditTab(pData)) tab->DataNumeric = pValue;
}

void ListModel::TextIsTime(std::int32_t pData, std::int32_t pValue) {
    if (TabRecord* tab = EditTab(pData)) tab->TextIsTime = pValue;
}

void ListModel::FrontObj(std::int32_t pData, std::int32_t pValue) {
    if (TabRecord* tab = EditTab(pData)) tab->FrontObj = pValue;
}

void ListModel::UseTextCombo(std::int32_t pData, std::int32_t pValue) {
    TabRecord* tab = EditTab(pData);
    if (tab == nullptr) return;
    tab->UseTextCombo = pValue;
    for (const std::int32_t bit : {4, 2, 1})
        if ((pValue & bit) != 0) {
            tab->FrontObj = bit;
            break;
        }
}

void ListModel::SetTabOrder(std::int32_t pTab, std::int32_t pValue) {
    const std::int32_t count = std::int32_t(c_Tabs.size());
    if (pTab < 0 || pTab >= count || pValue < 0 || pValue >= count) return;
    const std::int32_t from = c_Tabs[std::size_t(pTab)].TabOrder;
    if (from == pValue) return;
    for (TabRecord& tab : c_Tabs) {
        if (from < pValue && tab.TabOrder > from && tab.TabOrder <= pValue)
            --tab.TabOrder;
        else if (from > pValue && tab.TabOrder >= pValue && tab.TabOrder < from)
            ++tab.TabOrder;
    }
    c_Tabs[std::size_t(pTab)].TabOrder = pValue;
    for (std::int32_t column = 0; column < count; ++column)
        c_DisplayOrder[std::size_t(c_Tabs[std::size_t(column)].TabOrder)] = column;
}

std::int32_t ListModel::ColumnAt(std::int32_t pPosition) const {
    return pPosition >= 0 && pPosition < std::int32_t(c_DisplayOrder.size())
               ? c_DisplayOrder[std::size_t(pPosition)]
               : -1;
}

bool ListModel::FirstShown(std::int32_t pData) const {
    for (const std::int32_t column : c_DisplayOrder)
        if (c_Tabs[std::size_t(column)].TabHidden != 1) return column == pData;
    return false;
}

void ListModel::LayoutTabs() {
    std::int32_t right = 0;
    for (const std::int32_t column : c_DisplayOrder) {
        TabRecord& tab = c_Tabs[std::size_t(column)];
        tab.TabLeft = right;
        if (tab.TabHidden == 1) {
            tab.TabRight = tab.TabLeft;
        } else {
            tab.TabRight = tab.TabLeft + tab.TabWidth;
            right = tab.TabRight;
        }
    }
}

std::int32_t ListModel::LastTabRight() const {
    return c_DisplayOrder.empty() ? 0 : c_Tabs[std::size_t(c_DisplayOrder.back())].TabRight;
}

ListModel::EditorCounts ListModel::AssignEditors() {
    EditorCounts counts;
    for (TabRecord& tab : c_Tabs) {
        tab.TextEditorIndex = (tab.UseTextCombo & 1) != 0 ? counts.Texts++ : std::int16_t(-1);
        tab.ComboEditorIndex = (tab.UseTextCombo & 2) != 0 ? counts.Combos++ : std::int16_t(-1);
        tab.ListEditorIndex = (tab.UseTextCombo & 4) != 0 ? counts.Lists++ : std::int16_t(-1);
    }
    return counts;
}

void ListModel::FitTabWidths(const std::function<int(const QString&)>& pTextPixels, float pTwipsPerPixel,
                             bool pIcons) {
    for (std::int32_t column = 0; column < std::int32_t(c_Tabs.size()); ++column) {
        int widest = 0;
        for (const ItemRecord& item : c_Items)
            if (column < std::int32_t(item.Value.size()))
                widest = std::max(widest, pTextPixels(item.Value[std::size_t(column)].DisplayText()));
        const int extra = 16 + (c_Tabs[std::size_t(column)].TabOrder == 0 && pIcons ? 16 : 0);
        c_Tabs[std::size_t(column)].TabWidth =
            std::max(kMinTabWidth, std::int32_t(std::lround(float(widest + extra) * pTwipsPerPixel)));
    }
    LayoutTabs();
}

// ---- items

std::int32_t ListModel::Resolve(std::int32_t pIndex, bool pLastAllowed) const noexcept {
    const std::int32_t count = ItemCount();
    if (pIndex == -1) return c_SelectedItem >= 0 && c_SelectedItem < count ? c_SelectedItem : -3;
    if (pIndex == -2) return pLastAllowed && count > 0 ? count - 1 : -3;
    return pIndex >= 0 && pIndex < count ? pIndex : -3;
}

ListModel::ItemRecord ListModel::NewItem(std::int32_t pDispColor) const {
    ItemRecord item;
    item.DispColor = pDispColor;
    item.Value.resize(std::size_t(c_NumData));
    item.AuxID.resize(std::size_t(c_NumAux));
    return item;
}

void ListModel::GrowStorage(std::size_t pCount) {
    if (pCount > c_Items.capacity()) c_Items.reserve(pCount + kSpareItems);
}

void ListModel::ShrinkStorage() {
    const std::size_t wanted = std::max<std::size_t>(1, c_Items.size());
    if (c_Items.capacity() <= wanted) return;
    std::vector<ItemRecord> exact;
    exact.reserve(wanted);
    std::move(c_Items.begin(), c_Items.end(), std::back_inserter(exact));
    c_Items.swap(exact);
}

void ListModel::KeepCursorInRange() noexcept {
    if (c_SelectedItem >= ItemCount()) c_SelectedItem = ItemCount() - 1;
}

void ListModel::SetSelectedItem(std::int32_t pValue) {
    c_SelectedItem = std::clamp(pValue, -1, ItemCount() - 1);
    if (c_SelectedItem >= 0) c_Items[std::size_t(c_SelectedItem)].IsSelected = 1;
}

std::int32_t ListModel::SelectedData() const noexcept {
    return c_SelectedData < c_NumData ? c_SelectedData : 0;
}

const ListValue& ListModel::Value(std::int32_t pIndex, std::int32_t pData) const {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0) return EmptyValue();
    const auto& values = c_Items[std::size_t(index)].Value;
    return pData >= 0 && pData < std::int32_t(values.size()) ? values[std::size_t(pData)] : EmptyValue();
}

void ListModel::Value(std::int32_t pIndex, std::int32_t pData, const ListValue& pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0 || pData < 0 || pData > c_NumData - 1) return;
    auto& values = c_Items[std::size_t(index)].Value;
    if (pData < std::int32_t(values.size())) values[std::size_t(pData)] = pValue;
}

const ListValue& ListModel::AuxID(std::int32_t pIndex, std::int32_t pData) const {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0) return EmptyValue();
    const auto& values = c_Items[std::size_t(index)].AuxID;
    return pData >= 0 && pData < std::int32_t(values.size()) ? values[std::size_t(pData)] : EmptyValue();
}

void ListModel::AuxID(std::int32_t pIndex, std::int32_t pData, const ListValue& pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0) return;
    auto& values = c_Items[std::size_t(index)].AuxID;
    if (pData >= 0 && pData < std::int32_t(values.size())) values[std::size_t(pData)] = pValue;
}

std::int32_t ListModel::IconType(std::int32_t pIndex) const {
    const std::int32_t index = Resolve(pIndex, true);
    return index >= 0 ? c_Items[std::size_t(index)].IconType : 0;
}

void ListModel::IconType(std::int32_t pIndex, std::int32_t pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index >= 0) c_Items[std::size_t(index)].IconType = pValue;
}

// The getters of these three read 0 for the last item (-2); their setters accept it.
std::int32_t ListModel::DispColor(std::int32_t pIndex) const {
    const std::int32_t index = Resolve(pIndex, false);
    return index >= 0 ? c_Items[std::size_t(index)].DispColor : 0;
}

std::int32_t ListModel::HLine(std::int32_t pIndex) const {
    const std::int32_t index = Resolve(pIndex, false);
    return index >= 0 ? c_Items[std::size_t(index)].HLine : 0;
}

std::int32_t ListModel::IsSelected(std::int32_t pIndex) const {
    const std::int32_t index = Resolve(pIndex, false);
    return index >= 0 ? c_Items[std::size_t(index)].IsSelected : 0;
}

void ListModel::DispColor(std::int32_t pIndex, std::int32_t pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index >= 0) c_Items[std::size_t(index)].DispColor = pValue;
}

void ListModel::HLine(std::int32_t pIndex, std::int32_t pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index >= 0) c_Items[std::size_t(index)].HLine = pValue;
}

void ListModel::IsSelected(std::int32_t pIndex, std::int32_t pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0) return;
    c_Items[std::size_t(index)].IsSelected = pValue;
    if (pIndex == -1 && pValue == 0) c_SelectedItem = -1;
}

std::int32_t ListModel::NumSelectedItems() const noexcept {
    return std::int32_t(std::count_if(c_Items.begin(), c_Items.end(),
                                      [](const ItemRecord& pItem) { return pItem.IsSelected == 1; }));
}

bool ListModel::MultiSelected() const noexcept {
    int found = 0;
    for (const ItemRecord& item : c_Items)
        if (item.IsSelected == 1 && ++found > 1) return true;
    return false;
}

std::int32_t ListModel::YsItem(float pY) const noexcept {
    const std::int64_t count = ItemCount();
    if (c_OneHeight < 1) return std::int32_t(std::clamp<std::int64_t>(c_TopItem, 0, count));
    // Integer division truncates toward zero, as the row arithmetic everywhere does.
    const std::int64_t row = RoundHalfEven(double(pY)) / c_OneHeight + c_TopItem;
    return std::int32_t(std::clamp<std::int64_t>(row, 0, count));
}

void ListModel::AddItem(std::int32_t pNum) {
    if (pNum <= 0 || std::int64_t(c_Items.size()) + pNum > std::numeric_limits<std::int32_t>::max()) return;
    GrowStorage(c_Items.size() + std::size_t(pNum));
    for (std::int32_t i = 0; i < pNum; ++i)
        c_Items.push_back(NewItem(c_ForeColor));
}

void ListModel::InsertItem(std::int32_t pIndex, std::int32_t pNum) {
    if (pNum == 0) pNum = 1;
    if (pNum < 0 || std::int64_t(c_Items.size()) + pNum > std::numeric_limits<std::int32_t>::max()) return;
    const std::int32_t index = pIndex == -1 ? c_SelectedItem : pIndex;
    if (index < 0 || index > ItemCount()) return;
    GrowStorage(c_Items.size() + std::size_t(pNum));
    if (c_SelectedItem != -1 && c_SelectedItem >= index) c_SelectedItem += pNum;
    c_Items.insert(c_Items.begin() + index, std::size_t(pNum), NewItem(0));
}

void ListModel::DeleteItem(std::int32_t pIndex) {
    const bool current = pIndex == -1;
    const std::int32_t index = current ? c_SelectedItem : pIndex;
    // Checked before the cursor moves, so a bad index changes nothing.
    if (index < 0 || index >= ItemCount()) return;
    if (!current && index < c_SelectedItem) --c_SelectedItem;
    c_Items.erase(c_Items.begin() + index);
    ShrinkStorage();
    KeepCursorInRange();
}

void ListModel::DeleteItemEx(std::int32_t pIndex1, std::int32_t pIndex2) {
    const std::int32_t count = ItemCount();
    if (count == 0) return;
    const std::int32_t first = std::clamp(pIndex1, 0, count - 1);
    const std::int32_t last = std::clamp(pIndex2, 0, count - 1);
    if (first > last) return;
    c_Items.erase(c_Items.begin() + first, c_Items.begin() + last + 1);
    ShrinkStorage();
    KeepCursorInRange();
}

void ListModel::DeleteAll() {
    std::vector<ItemRecord>().swap(c_Items);
    c_TopItem = 0;
    c_SelectedItem = -1;
    c_OrderData = -1;
    c_ShiftMode = 0;
    c_CtrlMode = 0;
}

void ListModel::DeleteSelected() {
    if (c_Items.empty()) return;
    std::erase_if(c_Items, [](const ItemRecord& pItem) { return pItem.IsSelected != 0; });
    c_SelectedItem = -1;
    ShrinkStorage();
}

void ListModel::SelectAll() noexcept {
    for (ItemRecord& item : c_Items)
        item.IsSelected = 1;
}

void ListModel::UnSelectAll() noexcept {
    c_SelectedItem = -1;
    for (ItemRecord& item : c_Items)
        item.IsSelected = 0;
}

void ListModel::SelectOnly(std::int32_t pIndex) {
    for (ItemRecord& item : c_Items)
        item.IsSelected = 0;
    c_Items[std::size_t(pIndex)].IsSelected = 1;
    c_SelectedItem = pIndex;
}

void ListModel::SelectRange(std::int32_t pFrom, std::int32_t pTo) {
    const std::int32_t low = std::min(pFrom, pTo);
    const std::int32_t high = std::max(pFrom, pTo);
    for (std::int32_t i = 0; i < ItemCount(); ++i)
        c_Items[std::size_t(i)].IsSelected = i >= low && i <= high ? 1 : 0;
}

void ListModel::ExchangeItem(std::int32_t pPlus) {
    if (ItemCount() <= 1 || c_SelectedItem < 0) return;
    const std::int64_t target = std::int64_t(c_SelectedItem) + pPlus;
    if (target < 0 || target >= ItemCount()) return;
    for (ItemRecord& item : c_Items)
        item.IsSelected = 0;
    std::swap(c_Items[std::size_t(c_SelectedItem)], c_Items[std::size_t(target)]);
    c_SelectedItem = std::int32_t(target);
    c_Items[std::size_t(target)].IsSelected = 1;
}

void ListModel::MoveCursor(std::int32_t pIsDown) {
    if (c_Items.empty()) return;
    SelectOnly(std::clamp(c_SelectedItem + (pIsDown != 0 ? 1 : -1), 0, ItemCount() - 1));
}

void ListModel::ReOrder(std::int32_t pOrderItem, std::int32_t pForce, std::int32_t pReverse) {
    if (Tab(pOrderItem) == nullptr) return;
    // The current item is marked so it can be found again wherever the sort puts it.
    if (Resolve(-1, false) >= 0) c_Items[std::size_t(c_SelectedItem)].IsSelected = 2;
    std::int32_t reverse = pReverse;
    if (pReverse == -1) reverse = pOrderItem != c_OrderData || c_OrderInverted == 1 || pForce == 1 ? 0 : 1;
    c_OrderData = pOrderItem;
    SortAscending(pOrderItem);
    if (reverse != 0) {
        if (c_Items.size() >= 2) std::reverse(c_Items.begin(), c_Items.end());
        c_OrderInverted = 1;
    } else {
        c_OrderInverted = 0;
    }
    bool found = false;
    for (std::int32_t i = 0; i < ItemCount(); ++i) {
        ItemRecord& item = c_Items[std::size_t(i)];
        if (item.IsSelected != 2) continue;
        item.IsSelected = 1;
        if (!found) c_SelectedItem = i;
        found = true;
    }
}

// Shell sort with the gaps 1, 4, 13, 40, …, on keys made once per item; whole records move, once,
// in the order the sort found.
void ListModel::SortAscending(std::int32_t pData) {
    const std::int32_t count = ItemCount();
    if (count < 2) return;
    const bool numeric = Tab(pData)->DataNumeric != 0;
    std::vector<SortKey> keys(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const auto& values = c_Items[std::size_t(i)].Value;
        const ListValue& value =
            pData < std::int32_t(values.size()) ? values[std::size_t(pData)] : EmptyValue();
        SortKey& key = keys[std::size_t(i)];
        if (numeric)
            if (const std::optional<double> number = value.Number()) {
                key.Class = 0;
                key.Number = *number;
                continue;
            }
        key.Text = value.DisplayText().toLower();
    }
    std::vector<std::int32_t> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::int64_t gap = 0;
    while (gap <= count - 1)
        gap = 3 * gap + 1;
    for (gap = RoundHalfEven(double(gap) / 3); gap >= 1; gap = RoundHalfEven(double(gap) / 3)) {
        for (std::int64_t i = gap; i < count; ++i) {
            const std::int32_t taken = order[std::size_t(i)];
            std::int64_t j = i;
            for (; j >= gap &&
                   Greater(keys[std::size_t(order[std::size_t(j - gap)])], keys[std::size_t(taken)]);
                 j -= gap)
                order[std::size_t(j)] = order[std::size_t(j - gap)];
            order[std::size_t(j)] = taken;
        }
    }
    std::vector<ItemRecord> sorted;
    sorted.reserve(c_Items.capacity());
    for (const std::int32_t index : order)
        sorted.push_back(std::move(c_Items[std::size_t(index)]));
    c_Items.swap(sorted);
}

void ListModel::RndItem() {
    const std::int32_t count = ItemCount();
    if (count < 3) return;
    c_OrderData = -1;
    c_OrderInverted = 0;
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const std::int64_t k = RoundHalfEven(double(count) / 100.0 + 7.0);
    for (std::int32_t b = 0; b < count; ++b) {
        const std::int64_t d = RoundHalfEven(uniform(generator) * double(count - 1) + double(b % k));
        if (d < count) std::swap(c_Items[std::size_t(b)], c_Items[std::size_t(d)]);
    }
}

void ListModel::ResetNumTab() {
    for (ItemRecord& item : c_Items) {
        item.Value.resize(std::size_t(c_NumData));
        item.AuxID.resize(std::size_t(c_NumAux));
    }
    // Before Init there are no columns to follow the count.
    if (c_Tabs.empty() || std::int32_t(c_Tabs.size()) == c_NumData) return;
    // Columns follow the new count: the remaining ones keep their relative order, new ones go last.
    std::vector<std::int32_t> kept;
    for (const std::int32_t column : c_DisplayOrder)
        if (column < c_NumData) kept.push_back(column);
    c_Tabs.resize(std::size_t(c_NumData));
    for (std::int32_t column = std::int32_t(c_DisplayOrder.size()); column < c_NumData; ++column)
        kept.push_back(column);
    c_DisplayOrder = kept;
    for (std::int32_t position = 0; position < c_NumData; ++position)
        c_Tabs[std::size_t(c_DisplayOrder[std::size_t(position)])].TabOrder = position;
    LayoutTabs();
}

// ---- selecting with the mouse and the keys

void ListModel::PressRow(std::int32_t pRow, std::int16_t pShift) {
    c_KeyAnchor = -1;
    if (c_Items.empty()) {
        c_SelectedItem = -1;
        return;
    }
    ItemRecord& item = c_Items[std::size_t(pRow)];
    if (pShift == 1 && c_NoMultiSelect == 0) {
        SelectRange(std::max(c_SelectedItem, 0), pRow);
        c_ShiftMode = 1;
        c_CtrlMode = 0;
        c_SelectedItem = pRow;
    } else if (pShift == 2 && c_NoMultiSelect == 0) {
        if (item.IsSelected != 0) {
            item.IsSelected = 0;
            if (pRow == c_SelectedItem) {
                const auto lowest = std::find_if(c_Items.begin(), c_Items.end(), [](const ItemRecord& pItem) {
                    return pItem.IsSelected != 0;
                });
                c_SelectedItem = lowest == c_Items.end() ? -1 : std::int32_t(lowest - c_Items.begin());
            }
        } else {
            item.IsSelected = 1;
            c_SelectedItem = pRow;
        }
        c_ShiftMode = 0;
        c_CtrlMode = 1;
    } else {
        // A plain press on an item of a Shift- or Ctrl-made multi-selection keeps the
        // selection, so it can be dragged; a second plain press selects that item alone.
        const bool wasMulti = c_ShiftMode == 1 || c_CtrlMode == 1;
        c_ShiftMode = 0;
        c_CtrlMode = 0;
        if (!(wasMulti && item.IsSelected != 0)) SelectOnly(pRow);
    }
}

void ListModel::KeySelect(std::int32_t pTarget, bool pExtend) {
    if (c_Items.empty()) return;
    const std::int32_t target = std::clamp(pTarget, 0, ItemCount() - 1);
    if (pExtend && c_NoMultiSelect == 0) {
        // Shift+key grows the range from where the keyboard selection started.
        if (c_KeyAnchor < 0 || c_KeyAnchor >= ItemCount())
            c_KeyAnchor = c_SelectedItem >= 0 ? c_SelectedItem : target;
        SelectRange(c_KeyAnchor, target);
        c_SelectedItem = target;
        c_ShiftMode = 1;
    } else {
        SelectOnly(target);
        c_KeyAnchor = -1;
        c_ShiftMode = 0;
    }
    c_CtrlMode = 0;
}
