#pragma once

#include "support/ComboBox.h"

#include <string>
#include <vector>

// A combo box without a window: its entries and selection, for front ends that have no widgets.
class ListComboBox : public ComboBox {
public:
    std::vector<std::string> Items;
    int Index = -1;
    void Clear() override {
        Items.clear();
        Index = -1;
    }
    void AddItem(const std::string& pText) override { Items.push_back(pText); }
    [[nodiscard]] int ListCount() const override { return int(Items.size()); }
    [[nodiscard]] std::string List(int pIndex) const override { return Items.at(std::size_t(pIndex)); }
    void ListIndex(int pIndex) override { Index = pIndex; }
    [[nodiscard]] int ListIndex() const override { return Index; }
    // The selected entry's text; empty when nothing is selected.
    [[nodiscard]] std::string Text() const {
        return Index >= 0 && Index < ListCount() ? Items[std::size_t(Index)] : std::string();
    }
};
