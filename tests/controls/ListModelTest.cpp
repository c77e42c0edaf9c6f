// The list's model, with no application object and no screen.
#include "controls/ListModel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A list of pRows rows with pColumns columns.
std::unique_ptr<ListModel> ListOf(const std::vector<std::vector<ListValue>>& pRows, int pColumns = 2) {
    auto list = std::make_unique<ListModel>();
    list->NumData(pColumns);
    list->Init();
    for (const auto& row : pRows) {
        list->AddItem(1);
        for (int column = 0; column < int(row.size()); ++column)
            list->Value(-2, column, row[std::size_t(column)]);
    }
    return list;
}

std::vector<std::string> Column(const ListModel& pList, int pData = 0) {
    std::vector<std::string> texts;
    for (int i = 0; i < pList.ItemCount(); ++i)
        texts.push_back(pList.Value(i, pData).Text());
    return texts;
}

using Texts = std::vector<std::string>;

TEST(ListValue, ConvertsToTextAndNumbersAndEmptyEqualsEmptyText) {
    EXPECT_EQ(ListValue(), "");
    EXPECT_TRUE(ListValue().IsBlank());
    EXPECT_EQ(ListValue(1.5).Text(), "1.5");
    EXPECT_EQ(ListValue(3).Text(), "3");
    EXPECT_EQ(ListValue(3), ListValue(3.0));
    EXPECT_EQ(ListValue(" 12.5 ").Number(), 12.5);
    EXPECT_FALSE(ListValue("003'25.417").Number());
    EXPECT_FALSE(ListValue().Number());
    // File names that are not UTF-8 come back byte for byte.
    const std::string raw = "/tmp/a\xff\xfe.wav";
    EXPECT_EQ(ListValue(raw).Text(), raw);
}

TEST(ListModel, SortingAlternatesKeepsTheCurrentItemAndComparesByColumnKind) {
    auto list = ListOf({{"b", "10"}, {"A", "9"}, {"c", "100"}, {"a2", "x"}, {"B1", ""}});
    list->SetSelectedItem(2); // "c"
    const auto expectCurrent = [&](const char* pName) {
        ASSERT_GE(list->SelectedItem(), 0);
        EXPECT_EQ(list->Value(-1, 0), pName);
        for (int i = 0; i < list->ItemCount(); ++i)
            EXPECT_LE(list->IsSelected(i), 1) << "sort marker left on item " << i;
    };

    list->ReOrder(0, 0, -1);
    EXPECT_EQ(Column(*list), (Texts{"A", "a2", "b", "B1", "c"}));
    EXPECT_EQ(list->OrderData(), 0);
    EXPECT_EQ(list->OrderInverted(), 0);
    expectCurrent("c");
    list->ReOrder(0, 0, -1);
    EXPECT_EQ(Column(*list), (Texts{"c", "B1", "b", "a2", "A"}));
    EXPECT_EQ(list->OrderInverted(), 1);
    expectCurrent("c");
    list->ReOrder(0, 0, -1);
    EXPECT_EQ(list->OrderInverted(), 0);
    list->ReOrder(0, 1, -1);
    EXPECT_EQ(list->OrderInverted(), 0) << "pForce 1 is always ascending";
    EXPECT_EQ(Column(*list).front(), "A");

    // Text keys: "10" before "9". Numeric keys: "9" before "10", and values that are not numbers
    // (text, blank) go after the numbers instead of stopping the sort half-way.
    list->ReOrder(1, 0, -1);
    EXPECT_EQ(Column(*list, 1), (Texts{"", "10", "100", "9", "x"}));
    list->DataNumeric(1, 1);
    list->ReOrder(1, 1, -1);
    EXPECT_EQ(Column(*list, 1), (Texts{"9", "10", "100", "", "x"}));
    EXPECT_EQ(list->OrderData(), 1);
    expectCurrent("c");
    list->ReOrder(1, 0, 1);
    EXPECT_EQ(Column(*list, 1), (Texts{"x", "", "100", "10", "9"}));
    expectCurrent("c");
}

TEST(ListModel, InsertAndDeleteFollowTheIndexRules) {
    auto list = ListOf({{"a"}, {"b"}, {"c"}});
    list->SetSelectedItem(1);
    list->InsertItem(0, 2);
    EXPECT_EQ(Column(*list), (Texts{"", "", "a", "b", "c"}));
    EXPECT_EQ(list->SelectedItem(), 3);
    EXPECT_EQ(list->DispColor(0), 0) << "inserted items are black";
    list->InsertItem(list->ItemCount(), 1);
    EXPECT_EQ(list->ItemCount(), 6);
    list->InsertItem(list->ItemCount() + 1, 1);
    EXPECT_EQ(list->ItemCount(), 6);
    list->InsertItem(-1, 0); // one item before the current one
    EXPECT_EQ(Column(*list), (Texts{"", "", "a", "", "b", "c", ""}));
    EXPECT_EQ(list->Value(-1, 0), "b");

    // DeleteItem(-1) keeps the number, which names the next item.
    list->DeleteItem(-1);
    EXPECT_EQ(list->SelectedItem(), 4);
    EXPECT_EQ(list->Value(-1, 0), "c");
    // A bad index changes nothing, the cursor included; an earlier index moves it down.
    list->DeleteItem(42);
    EXPECT_EQ(list->SelectedItem(), 4);
    list->DeleteItem(0);
    EXPECT_EQ(list->SelectedItem(), 3);
    EXPECT_EQ(list->Value(-1, 0), "c");
    // Deleting the current last item never leaves the cursor past the end.
    list->DeleteItem(list->ItemCount() - 1);
    list->SetSelectedItem(list->ItemCount() - 1);
    list->DeleteItem(-1);
    EXPECT_EQ(list->SelectedItem(), list->ItemCount() - 1);

    list->DeleteAll();
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        list->AddItem(1);
        list->Value(-2, 0, name);
    }
    list->DeleteItemEx(3, 1); // reversed: nothing, not a negative count
    EXPECT_EQ(list->ItemCount(), 5);
    list->DeleteItemEx(1, 2);
    EXPECT_EQ(Column(*list), (Texts{"a", "d", "e"}));
    list->SetSelectedItem(0);
    list->IsSelected(2, 2); // any non-zero flag counts
    list->DeleteSelected();
    EXPECT_EQ(Column(*list), (Texts{"d"}));
    EXPECT_EQ(list->SelectedItem(), -1);
    list->AddItem(3);
    list->DeleteItemEx(-5, 99);
    EXPECT_EQ(list->ItemCount(), 0);
}

TEST(ListModel, CurrentLastAndOutOfRangeIndices) {
    auto list = ListOf({{"a"}, {"b"}, {"c"}});
    // -1 without a current item: nothing.
    list->Value(-1, 0, "x");
    EXPECT_EQ(Column(*list), (Texts{"a", "b", "c"}));
    EXPECT_EQ(list->Value(-1, 0), "");
    // -2 is the last item for values and icons; the flag getters read 0 for it.
    list->IconType(-2, 9);
    list->IsSelected(-2, 1);
    EXPECT_EQ(list->IconType(2), 9);
    EXPECT_EQ(list->IconType(-2), 9);
    EXPECT_EQ(list->IsSelected(2), 1);
    EXPECT_EQ(list->IsSelected(-2), 0);
    list->AuxID(-2, 0, "/path/c.wav");
    EXPECT_EQ(list->AuxID(2, 0), "/path/c.wav");
    // Out of range items or columns: no-ops and empty values.
    list->Value(0, 5, "x");
    list->AuxID(0, 1, "x");
    list->IconType(7, 4);
    EXPECT_EQ(list->Value(0, 5), "");
    EXPECT_EQ(list->Value(0, -1), "");
    EXPECT_EQ(list->AuxID(0, 1), "");
    EXPECT_EQ(list->Value(3, 0), "");
    EXPECT_EQ(list->IconType(7), 0);

    list->SetSelectedItem(99);
    EXPECT_EQ(list->SelectedItem(), 2);
    list->IsSelected(-1, 0);
    EXPECT_EQ(list->SelectedItem(), -1);
    list->MoveCursor(0);
    EXPECT_EQ(list->SelectedItem(), 0);
    EXPECT_EQ(list->NumSelectedItems(), 1);
    list->ExchangeItem(2);
    EXPECT_EQ(Column(*list), (Texts{"c", "b", "a"}));
    EXPECT_EQ(list->SelectedItem(), 2);
    list->ExchangeItem(1); // past the end: nothing
    EXPECT_EQ(list->SelectedItem(), 2);
    list->SelectAll();
    EXPECT_TRUE(list->MultiSelected());
    list->UnSelectAll();
    EXPECT_EQ(list->NumSelectedItems(), 0);
    EXPECT_EQ(list->SelectedItem(), -1);
}

TEST(ListModel, ColumnWidthsOrderAndEditorKinds) {
    auto list = ListOf({{"a", "b", "c"}}, 3);
    list->TabWidth(0, 100);
    list->TabWidth(1, 1000);
    list->TabWidth(2, 2000);
    EXPECT_EQ(list->TabWidth(0), 450);
    EXPECT_EQ(list->TabRight(2), 3450);
    list->TabHidden(1, 1);
    EXPECT_EQ(list->TabLeft(2), 450);
    EXPECT_EQ(list->TabRight(1), list->TabLeft(1));
    list->TabHidden(1, 0);

    list->SetTabOrder(0, 2);
    EXPECT_EQ(list->ColumnAt(0), 1);
    EXPECT_EQ(list->ColumnAt(1), 2);
    EXPECT_EQ(list->ColumnAt(2), 0);
    list->SetTabOrder(0, 3); // outside: nothing
    EXPECT_EQ(list->TabOrder(0), 2);
    list->SetTabOrder(0, 0);
    EXPECT_EQ(list->ColumnAt(0), 0);
    EXPECT_EQ(list->TabOrder(1), 1);

    list->UseTextCombo(1, 3);
    EXPECT_EQ(list->FrontObj(1), 2);
    list->UseTextCombo(1, 0);
    EXPECT_EQ(list->FrontObj(1), 2);
}

TEST(ListModel, FittedColumnsTakeTheirWidestValueAndRoomForTheIcon) {
    auto list = ListOf({{"a rather long value", "b", "twelve chars"}, {"short", "", ""}}, 3);
    list->SetTabOrder(2, 0); // the icon's room goes with display position 0, not with column 0
    const auto sevenPerCharacter = [](const QString& pText) { return 7 * int(pText.size()); };
    struct Case {
        bool Icons;
        std::int32_t Widths[3];
    };
    const Case cases[] = {
        // 19 characters + 16 px; "b" is 23 px, below the minimum; 12 characters + 16 (+ 16) px.
        {true, {(133 + 16) * 15, 450, (84 + 32) * 15}},
        {false, {(133 + 16) * 15, 450, (84 + 16) * 15}},
    };
    for (const Case& c : cases) {
        list->FitTabWidths(sevenPerCharacter, 15, c.Icons);
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(list->TabWidth(column), c.Widths[column]) << c.Icons << " column " << column;
        EXPECT_EQ(list->TabLeft(0), list->TabWidth(2)) << "laid out again";
    }
}

TEST(ListModel, YsItemGivesTheRowUnderAPositionOrTheAppendPosition) {
    auto list = ListOf({{"a"}, {"b"}, {"c"}});
    list->OneHeight(250);
    EXPECT_EQ(list->YsItem(0), 0);
    EXPECT_EQ(list->YsItem(249.4F), 0);
    EXPECT_EQ(list->YsItem(250), 1);
    EXPECT_EQ(list->YsItem(-100), 0);
    EXPECT_EQ(list->YsItem(5000), 3) << "below the last row: the append position";
}

TEST(ListModel, ShuffleNeedsThreeItemsAndKeepsEveryItem) {
    auto two = ListOf({{"a"}, {"b"}});
    two->ReOrder(0, 0, -1);
    two->RndItem();
    EXPECT_EQ(Column(*two), (Texts{"a", "b"}));
    EXPECT_EQ(two->OrderData(), 0);

    std::vector<std::vector<ListValue>> rows;
    for (int i = 0; i < 60; ++i)
        rows.push_back({QString::number(i + 100)});
    auto list = ListOf(rows);
    list->ReOrder(0, 0, -1);
    list->RndItem();
    EXPECT_EQ(list->OrderData(), -1);
    EXPECT_NE(Column(*list), Column(*ListOf(rows)));
    list->ReOrder(0, 0, -1);
    EXPECT_EQ(Column(*list), Column(*ListOf(rows)));
}

} // namespace
