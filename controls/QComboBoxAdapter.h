#pragma once

#include "support/ComboBox.h"

#include <QComboBox>

// Lets the engine's list fillers work on a Qt combo box. A Qt combo box selects its first entry
// when an empty box gets one; the fillers expect a filled box to select nothing until they choose.
class QComboBoxAdapter final : public ComboBox {
public:
    explicit QComboBoxAdapter(QComboBox& pCombo)
        : c_Combo(pCombo) {}
    void Clear() override { c_Combo.clear(); }
    void AddItem(const std::string& pText) override {
        const int selected = c_Combo.currentIndex();
        c_Combo.addItem(QString::fromStdString(pText));
        if (selected < 0) c_Combo.setCurrentIndex(-1);
    }
    [[nodiscard]] int ListCount() const override { return c_Combo.count(); }
    [[nodiscard]] std::string List(int pIndex) const override {
        return c_Combo.itemText(pIndex).toStdString();
    }
    void ListIndex(int pIndex) override { c_Combo.setCurrentIndex(pIndex); }
    [[nodiscard]] int ListIndex() const override { return c_Combo.currentIndex(); }

private:
    QComboBox& c_Combo;
};
