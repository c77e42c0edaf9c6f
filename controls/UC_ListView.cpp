// The list's model: settings, columns, items, selection and sorting. Nothing here paints; the
// surfaces, layout and painting are in UC_ListView_Paint.cpp, input in UC_ListView_Input.cpp.
#include "controls/UC_ListView.h"

#include "controls/Palette.h"
#include "support/Rounding.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QFontMetrics>

#include <algorithm>
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

UC_ListView::UC_ListView(QWidget* pParent)
    : QWidget(pParent)
    , c_VLineColor(Palette::SystemColorRef(Palette::kButtonFace))
    , c_ForeColor(Palette::SystemColorRef(Palette::kWindowText))
    , c_BackColor(Palette::SystemColorRef(Palette::kWindowBackground)) {
    CreateSurfaces();
}

UC_ListView::~UC_ListView() = default;

// ---- settings

void UC_ListView::NumData(std::int32_t pValue) noexcept {
    if (pValue >= 1) c_NumData = pValue;
}

void UC_ListView::NumAux(std::int32_t pValue) noexcept {
    if (pValue >= 0) c_NumAux = pValue;
}

void UC_ListView::UseUCBar(std::int32_t pValue) noexcept {
    if (!c_Initialised) c_UseUCBar = pValue;
}

// ---- columns

const UC_ListView::TabRecord* UC_ListView::Tab(std::int32_t pData) const noexcept {
    return pData >= 0 && pData < std::int32_t(c_Tabs.size()) ? &c_Tabs[std::size_t(pData)] : nullptr;
}

UC_ListView::TabRecord* UC_ListView::Tab(std::int32_t pData) noexcept {
    return pData >= 0 && pData < std::int32_t(c_Tabs.size()) ? &c_Tabs[std::size_t(pData)] : nullptr;
}

std::string UC_ListView::TabName(std::int32_t pData) const {
    const TabRecord* tab = Tab(pData);
    return tab != nullptr ? tab->TabName : std::string();
}

void UC_ListView::TabName(std::int32_t pData, const std::string& pValue) {
    if (TabRecord* tab = Tab(pData)) tab->TabName = pValue;
}

std::int32_t UC_ListView::TabWidth(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabWidth);
}

void UC_ListView::TabWidth(std::int32_t pData, std::int32_t pValue) {
    TabRecord* tab = Tab(pData);
    if (tab == nullptr) return;
    tab->TabWidth = std::max(kMinTabWidth, pValue);
    LayoutTabs();
}

std::int32_t UC_ListView::TabHidden(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabHidden);
}

void UC_ListView::TabHidden(std::int32_t pData, std::int32_t pValue) {
    TabRecord* tab = Tab(pData);
    if (tab == nullptr) return;
    tab->TabHidden = pValue;
    LayoutTabs();
}

std::int32_t UC_ListView::TabAlign(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabAlign);
}

std::int32_t UC_ListView::DataNumeric(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::DataNumeric);
}

std::int32_t UC_ListView::TextIsTime(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TextIsTime);
}

std::int32_t UC_ListView::FrontObj(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::FrontObj);
}

std::int32_t UC_ListView::UseTextCombo(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::UseTextCombo);
}

std::int32_t UC_ListView::TabOrder(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabOrder);
}

std::int32_t UC_ListView::TabLeft(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabLeft);
}

std::int32_t UC_ListView::TabRight(std::int32_t pData) const {
    return FieldOrZero(Tab(pData), &TabRecord::TabRight);
}

void UC_ListView::TabAlign(std::int32_t pData, std::int32_t pValue) {
    if (TabRecord* tab = Tab(pData)) tab->TabAlign = pValue;
}

void UC_ListView::DataNumeric(std::int32_t pData, std::int32_t pValue) {
    if (TabRecord* tab = Tab(pData)) tab->DataNumeric = pValue;
}

void UC_ListView::TextIsTime(std::int32_t pData, std::int32_t pValue) {
    if (TabRecord* tab = Tab(pData)) tab->TextIsTime = pValue;
}

void UC_ListView::FrontObj(std::int32_t pData, std::int32_t pValue) {
    if (TabRecord* tab = Tab(pData)) tab->FrontObj = pValue;
}

void UC_ListView::UseTextCombo(std::int32_t pData, std::int32_t pValue) {
    TabRecord* tab = Tab(pData);
    if (tab == nullptr) return;
    tab->UseTextCombo = pValue;
    for (const std::int32_t bit : {4, 2, 1})
        if ((pValue & bit) != 0) {
            tab->FrontObj = bit;
            break;
        }
}

void UC_ListView::SetTabOrder(std::int32_t pTab, std::int32_t pValue) {
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

std::int32_t UC_ListView::ColumnAt(std::int32_t pPosition) const {
    return pPosition >= 0 && pPosition < std::int32_t(c_DisplayOrder.size())
               ? c_DisplayOrder[std::size_t(pPosition)]
               : -1;
}

void UC_ListView::LayoutTabs() {
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

std::int32_t UC_ListView::LastTabRight() const {
    return c_DisplayOrder.empty() ? 0 : c_Tabs[std::size_t(c_DisplayOrder.back())].TabRight;
}

// ---- items

std::int32_t UC_ListView::Resolve(std::int32_t pIndex, bool pLastAllowed) const noexcept {
    const std::int32_t count = ItemCount();
    if (pIndex == -1) return c_SelectedItem >= 0 && c_SelectedItem < count ? c_SelectedItem : -3;
    if (pIndex == -2) return pLastAllowed && count > 0 ? count - 1 : -3;
    return pIndex >= 0 && pIndex < count ? pIndex : -3;
}

UC_ListView::ItemRecord UC_ListView::NewItem(std::int32_t pDispColor) const {
    ItemRecord item;
    item.DispColor = pDispColor;
    item.Value.resize(std::size_t(c_NumData));
    item.AuxID.resize(std::size_t(c_NumAux));
    return item;
}

void UC_ListView::GrowStorage(std::size_t pCount) {
    if (pCount > c_Items.capacity()) c_Items.reserve(pCount + kSpareItems);
}

void UC_ListView::ShrinkStorage() {
    const std::size_t wanted = std::max<std::size_t>(1, c_Items.size());
    if (c_Items.capacity() <= wanted) return;
    std::vector<ItemRecord> exact;
    exact.reserve(wanted);
    std::move(c_Items.begin(), c_Items.end(), std::back_inserter(exact));
    c_Items.swap(exact);
}

void UC_ListView::KeepCursorInRange() noexcept {
    if (c_SelectedItem >= ItemCount()) c_SelectedItem = ItemCount() - 1;
}

void UC_ListView::SetSelectedItem(std::int32_t pValue) {
    c_SelectedItem = std::clamp(pValue, -1, ItemCount() - 1);
    if (c_SelectedItem >= 0) c_Items[std::size_t(c_SelectedItem)].IsSelected = 1;
}

std::int32_t UC_ListView::SelectedData() const noexcept {
    return c_SelectedData < c_NumData ? c_SelectedData : 0;
}

const ListValue& UC_ListView::Value(std::int32_t pIndex, std::int32_t pData) const {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0) return EmptyValue();
    const auto& values = c_Items[std::size_t(index)].Value;
    return pData >= 0 && pData < std::int32_t(values.size()) ? values[std::size_t(pData)] : EmptyValue();
}

void UC_ListView::Value(std::int32_t pIndex, std::int32_t pData, const ListValue& pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0 || pData < 0 || pData > c_NumData - 1) return;
    auto& values = c_Items[std::size_t(index)].Value;
    if (pData < std::int32_t(values.size())) values[std::size_t(pData)] = pValue;
}

const ListValue& UC_ListView::AuxID(std::int32_t pIndex, std::int32_t pData) const {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0) return EmptyValue();
    const auto& values = c_Items[std::size_t(index)].AuxID;
    return pData >= 0 && pData < std::int32_t(values.size()) ? values[std::size_t(pData)] : EmptyValue();
}

void UC_ListView::AuxID(std::int32_t pIndex, std::int32_t pData, const ListValue& pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0) return;
    auto& values = c_Items[std::size_t(index)].AuxID;
    if (pData >= 0 && pData < std::int32_t(values.size())) values[std::size_t(pData)] = pValue;
}

std::int32_t UC_ListView::IconType(std::int32_t pIndex) const {
    const std::int32_t index = Resolve(pIndex, true);
    return index >= 0 ? c_Items[std::size_t(index)].IconType : 0;
}

void UC_ListView::IconType(std::int32_t pIndex, std::int32_t pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index >= 0) c_Items[std::size_t(index)].IconType = pValue;
}

// The getters of these three read 0 for the last item (-2); their setters accept it.
std::int32_t UC_ListView::DispColor(std::int32_t pIndex) const {
    const std::int32_t index = Resolve(pIndex, false);
    return index >= 0 ? c_Items[std::size_t(index)].DispColor : 0;
}

std::int32_t UC_ListView::HLine(std::int32_t pIndex) const {
    const std::int32_t index = Resolve(pIndex, false);
    return index >= 0 ? c_Items[std::size_t(index)].HLine : 0;
}

std::int32_t UC_ListView::IsSelected(std::int32_t pIndex) const {
    const std::int32_t index = Resolve(pIndex, false);
    return index >= 0 ? c_Items[std::size_t(index)].IsSelected : 0;
}

void UC_ListView::DispColor(std::int32_t pIndex, std::int32_t pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index >= 0) c_Items[std::size_t(index)].DispColor = pValue;
}

void UC_ListView::HLine(std::int32_t pIndex, std::int32_t pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index >= 0) c_Items[std::size_t(index)].HLine = pValue;
}

void UC_ListView::IsSelected(std::int32_t pIndex, std::int32_t pValue) {
    const std::int32_t index = Resolve(pIndex, true);
    if (index < 0) return;
    c_Items[std::size_t(index)].IsSelected = pValue;
    if (pIndex == -1 && pValue == 0) c_SelectedItem = -1;
}

std::int32_t UC_ListView::NumSelectedItems() const noexcept {
    return std::int32_t(std::count_if(c_Items.begin(), c_Items.end(),
                                      [](const ItemRecord& pItem) { return pItem.IsSelected == 1; }));
}

bool UC_ListView::MultiSelected() const noexcept {
    int found = 0;
    for (const ItemRecord& item : c_Items)
        if (item.IsSelected == 1 && ++found > 1) return true;
    return false;
}

std::int32_t UC_ListView::YsItem(float pY) const noexcept {
    const std::int64_t count = ItemCount();
    if (c_OneHeight < 1) return std::int32_t(std::clamp<std::int64_t>(c_TopItem, 0, count));
    // Integer division truncates toward zero, as the row arithmetic everywhere does.
    const std::int64_t row = RoundHalfEven(double(pY)) / c_OneHeight + c_TopItem;
    return std::int32_t(std::clamp<std::int64_t>(row, 0, count));
}

void UC_ListView::AddItem(std::int32_t pNum) {
    if (pNum <= 0 || std::int64_t(c_Items.size()) + pNum > std::numeric_limits<std::int32_t>::max()) return;
    GrowStorage(c_Items.size() + std::size_t(pNum));
    for (std::int32_t i = 0; i < pNum; ++i)
        c_Items.push_back(NewItem(c_ForeColor));
}

void UC_ListView::InsertItem(std::int32_t pIndex, std::int32_t pNum) {
    if (pNum == 0) pNum = 1;
    if (pNum < 0 || std::int64_t(c_Items.size()) + pNum > std::numeric_limits<std::int32_t>::max()) return;
    const std::int32_t index = pIndex == -1 ? c_SelectedItem : pIndex;
    if (index < 0 || index > ItemCount()) return;
    GrowStorage(c_Items.size() + std::size_t(pNum));
    if (c_SelectedItem != -1 && c_SelectedItem >= index) c_SelectedItem += pNum;
    c_Items.insert(c_Items.begin() + index, std::size_t(pNum), NewItem(0));
}

void UC_ListView::DeleteItem(std::int32_t pIndex) {
    const bool current = pIndex == -1;
    const std::int32_t index = current ? c_SelectedItem : pIndex;
    // Checked before the cursor moves, so a bad index changes nothing.
    if (index < 0 || index >= ItemCount()) return;
    if (!current && index < c_SelectedItem) --c_SelectedItem;
    c_Items.erase(c_Items.begin() + index);
    ShrinkStorage();
    KeepCursorInRange();
}

void UC_ListView::DeleteItemEx(std::int32_t pIndex1, std::int32_t pIndex2) {
    const std::int32_t count = ItemCount();
    if (count == 0) return;
    const std::int32_t first = std::clamp(pIndex1, 0, count - 1);
    const std::int32_t last = std::clamp(pIndex2, 0, count - 1);
    if (first > last) return;
    c_Items.erase(c_Items.begin() + first, c_Items.begin() + last + 1);
    ShrinkStorage();
    KeepCursorInRange();
}

void UC_ListView::DeleteAll() {
    std::vector<ItemRecord>().swap(c_Items);
    c_TopItem = 0;
    c_SelectedItem = -1;
    c_OrderData = -1;
    c_ShiftMode = 0;
    c_CtrlMode = 0;
}

void UC_ListView::DeleteSelected() {
    if (c_Items.empty()) return;
    std::erase_if(c_Items, [](const ItemRecord& pItem) { return pItem.IsSelected != 0; });
    c_SelectedItem = -1;
    ShrinkStorage();
}

void UC_ListView::SelectAll() noexcept {
    for (ItemRecord& item : c_Items)
        item.IsSelected = 1;
}

void UC_ListView::UnSelectAll() noexcept {
    c_SelectedItem = -1;
    for (ItemRecord& item : c_Items)
        item.IsSelected = 0;
}

void UC_ListView::SelectOnly(std::int32_t pIndex) {
    for (ItemRecord& item : c_Items)
        item.IsSelected = 0;
    c_Items[std::size_t(pIndex)].IsSelected = 1;
    c_SelectedItem = pIndex;
}

void UC_ListView::SelectRange(std::int32_t pFrom, std::int32_t pTo) {
    const std::int32_t low = std::min(pFrom, pTo);
    const std::int32_t high = std::max(pFrom, pTo);
    for (std::int32_t i = 0; i < ItemCount(); ++i)
        c_Items[std::size_t(i)].IsSelected = i >= low && i <= high ? 1 : 0;
}

void UC_ListView::ExchangeItem(std::int32_t pPlus) {
    if (ItemCount() <= 1 || c_SelectedItem < 0) return;
    const std::int64_t target = std::int64_t(c_SelectedItem) + pPlus;
    if (target < 0 || target >= ItemCount()) return;
    for (ItemRecord& item : c_Items)
        item.IsSelected = 0;
    std::swap(c_Items[std::size_t(c_SelectedItem)], c_Items[std::size_t(target)]);
    c_SelectedItem = std::int32_t(target);
    c_Items[std::size_t(target)].IsSelected = 1;
}

void UC_ListView::MoveCursor(std::int32_t pIsDown) {
    if (c_Items.empty()) return;
    SelectOnly(std::clamp(c_SelectedItem + (pIsDown != 0 ? 1 : -1), 0, ItemCount() - 1));
}

void UC_ListView::ReOrder(std::int32_t pOrderItem, std::int32_t pForce, std::int32_t pReverse) {
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
void UC_ListView::SortAscending(std::int32_t pData) {
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

void UC_ListView::RndItem() {
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

void UC_ListView::ResetNumTab() {
    for (ItemRecord& item : c_Items) {
        item.Value.resize(std::size_t(c_NumData));
        item.AuxID.resize(std::size_t(c_NumAux));
    }
    if (!c_Initialised || std::int32_t(c_Tabs.size()) == c_NumData) return;
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

void UC_ListView::SetTabWidthAuto() {
    if (c_Items.empty()) return;
    const QFontMetrics metrics(Support::UiFontAt(c_FontRows).Font);
    const float twips = Support::TwipsPerPixel();
    for (std::int32_t column = 0; column < std::int32_t(c_Tabs.size()); ++column) {
        int widest = 0;
        for (const ItemRecord& item : c_Items)
            if (column < std::int32_t(item.Value.size()))
                widest = std::max(widest,
                                  metrics.horizontalAdvance(item.Value[std::size_t(column)].DisplayText()));
        const int extra = 16 + (c_Tabs[std::size_t(column)].TabOrder == 0 && c_IconDisabled == 0 ? 16 : 0);
        c_Tabs[std::size_t(column)].TabWidth =
            std::max(kMinTabWidth, std::int32_t(std::lround(float(widest + extra) * twips)));
    }
    LayoutTabs();
    ReDrawTab(-1);
    ReDraw();
}
