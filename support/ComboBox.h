#pragma once

#include <string>

// The few combo-box operations the list fillers need; a widget adapter supplies them.
class ComboBox {
public:
    virtual ~ComboBox() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const std::string& pText) = 0;
    [[nodiscard]] virtual int ListCount() const = 0;
    [[nodiscard]] virtual std::string List(int pIndex) const = 0;
    // -1 selects nothing.
    virtual void ListIndex(int pIndex) = 0;
    [[nodiscard]] virtual int ListIndex() const = 0;
};
