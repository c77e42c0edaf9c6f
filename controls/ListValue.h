#pragma once

#include <QString>

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <variant>

// A cell or hidden value of the list: empty, text, a real number or an integer. Text is kept as
// the bytes it was given (UTF-8 by convention), so a file name that is not valid UTF-8 comes back
// unchanged. Converts to text and to a number; an empty value equals "".
class ListValue {
public:
    ListValue() = default;
    ListValue(const char* pText)
        : c_Value(std::string(pText != nullptr ? pText : "")) {}
    ListValue(std::string pText)
        : c_Value(std::move(pText)) {}
    ListValue(const QString& pText)
        : c_Value(pText.toStdString()) {}
    ListValue(double pNumber)
        : c_Value(pNumber) {}
    ListValue(std::int64_t pNumber)
        : c_Value(pNumber) {}
    ListValue(int pNumber)
        : c_Value(std::int64_t(pNumber)) {}

    [[nodiscard]] bool IsEmpty() const noexcept { return std::holds_alternative<std::monostate>(c_Value); }
    [[nodiscard]] bool IsNumber() const noexcept {
        return std::holds_alternative<double>(c_Value) || std::holds_alternative<std::int64_t>(c_Value);
    }
    // Empty or the empty text.
    [[nodiscard]] bool IsBlank() const noexcept;

    // The value as text: numbers in their shortest form with up to 15 significant digits.
    [[nodiscard]] std::string Text() const;
    // The text for the screen (bytes that are not UTF-8 show as replacement characters).
    [[nodiscard]] QString DisplayText() const;
    // The value as a number: numbers as they are, text that reads as a decimal number (spaces
    // around it allowed); nothing for an empty value and for any other text.
    [[nodiscard]] std::optional<double> Number() const;

    // Numbers compare by value; everything else by its text, so an empty value equals "".
    friend bool operator==(const ListValue& pA, const ListValue& pB);
    friend std::ostream& operator<<(std::ostream& pStream, const ListValue& pValue);

private:
    std::variant<std::monostate, std::string, double, std::int64_t> c_Value;
};
