#include "controls/ListValue.h"

#include <QLocale>

#include <cmath>
#include <ostream>

bool ListValue::IsBlank() const noexcept {
    if (IsEmpty()) return true;
    const auto* text = std::get_if<std::string>(&c_Value);
    return text != nullptr && text->empty();
}

std::string ListValue::Text() const {
    if (const auto* text = std::get_if<std::string>(&c_Value)) return *text;
    if (const auto* number = std::get_if<std::int64_t>(&c_Value)) return std::to_string(*number);
    if (const auto* real = std::get_if<double>(&c_Value))
        return QString::number(*real, 'g', 15).toStdString();
    return {};
}

QString ListValue::DisplayText() const {
    if (const auto* text = std::get_if<std::string>(&c_Value))
        return QString::fromUtf8(text->data(), qsizetype(text->size()));
    return QString::fromStdString(Text());
}

std::optional<double> ListValue::Number() const {
    if (const auto* number = std::get_if<std::int64_t>(&c_Value)) return double(*number);
    if (const auto* real = std::get_if<double>(&c_Value)) return *real;
    if (const auto* text = std::get_if<std::string>(&c_Value)) {
        bool ok = false;
        const double value = QLocale::c().toDouble(QString::fromStdString(*text).trimmed(), &ok);
        if (ok && !std::isnan(value)) return value;
    }
    return std::nullopt;
}

bool operator==(const ListValue& pA, const ListValue& pB) {
    if (pA.IsNumber() && pB.IsNumber()) return pA.Number() == pB.Number();
    return pA.Text() == pB.Text();
}

std::ostream& operator<<(std::ostream& pStream, const ListValue& pValue) {
    return pStream << '"' << pValue.Text() << '"';
}
