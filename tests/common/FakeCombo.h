#pragma once

// A combo box that only remembers its entries and selection.
#include "engine/ComboBox.h"

#include <string>
#include <vector>

class FakeCombo : public ComboBox {
public:
    std::vector<std::string> Items;
    int Index = -1;
    void Clear() override {
        Items.clear();
        Index = -1;
    }
    void AddItem(const std::string& pText) override { Items.push_back(pText); }
    int ListCount() const override { return int(Items.size()); }
    std::string List(int pIndex) const override { return Items.at(std::size_t(pIndex)); }
    void ListIndex(int pIndex) override { Index = pIndex; }
    int ListIndex() const override { return Index; }
};
