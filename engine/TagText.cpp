#include "engine/TagText.h"

#include <iconv.h>

#include <memory>
#include <optional>
#include <utility>

namespace {

using Byte = unsigned char;

// Windows-1252 in 0x80-0x9F; the five places it leaves empty keep Latin-1's control characters.
constexpr char16_t kWindows1252[32]{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& pOut, char32_t pCode) {
    if (pCode < 0x80) {
        pOut += char(pCode);
    } else if (pCode < 0x800) {
        pOut += char(0xC0 | (pCode >> 6));
        pOut += char(0x80 | (pCode & 0x3F));
    } else {
        pOut += char(0xE0 | (pCode >> 12));
        pOut += char(0x80 | ((pCode >> 6) & 0x3F));
        pOut += char(0x80 | (pCode & 0x3F));
    }
}

bool IsAscii(std::string_view pBytes) {
    for (const char c : pBytes)
        if (Byte(c) >= 0x80) return false;
    return true;
}

// The length of the well-formed UTF-8 character at pAt, or 0 when there is none: strict, so no
// overlong forms, no surrogates, nothing past U+10FFFF.
std::size_t CharacterAt(std::string_view pBytes, std::size_t pAt) {
    const Byte b = Byte(pBytes[pAt]);
    if (b < 0x80) return 1;
    std::size_t length = 0;
    Byte low = 0x80;
    Byte high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (pBytes.size() - pAt < length) return 0;
    const Byte second = Byte(pBytes[pAt + 1]);
    if (second < low || second > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((Byte(pBytes[pAt + k]) & 0xC0) != 0x80) return 0;
    return length;
}

bool IsUtf8(std::string_view pBytes) {
    for (std::size_t i = 0; i < pBytes.size();) {
        const std::size_t length = CharacterAt(pBytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

bool IsLatinLetter(Byte pByte) {
    return pByte >= 0xC0 && pByte != 0xD7 && pByte != 0xF7;
}

// Windows-1252's ellipsis, quotes and dashes, which Western taggers put into "Latin-1" fields.
bool IsWindowsPunctuation(Byte pByte) {
    return pByte == 0x85 || (pByte >= 0x91 && pByte <= 0x94) || pByte == 0x96 || pByte == 0x97;
}

// Western text has its accented letters alone among ASCII, or two together, and no control
// characters; Shift_JIS text has runs of high bytes, most of them lead bytes 0x81-0x9F.
bool PlausibleWestern(std::string_view pBytes) {
    const std::size_t n = pBytes.size();
    for (std::size_t i = 0; i < n;) {
        if (Byte(pBytes[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < n && Byte(pBytes[end]) >= 0x80)
            ++end;
        const Byte first = Byte(pBytes[i]);
        switch (end - i) {
        case 1:
            if (first < 0xA0 && !IsWindowsPunctuation(first)) return false;
            break;
        case 2:
            if (!IsLatinLetter(first) || !IsLatinLetter(Byte(pBytes[i + 1]))) return false;
            break;
        default:
            return false;
        }
        i = end;
    }
    return true;
}

struct IconvCloser {
    void operator()(iconv_t pHandle) const noexcept { iconv_close(pHandle); }
};
using IconvPtr = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

bool HasPrivateUse(std::string_view pUtf8) {
    // U+E000-U+F8FF is EE 80 80 to EF A3 BF: CP932's user-defined rows, which hold no real text.
    for (std::size_t i = 0; i + 2 < pUtf8.size(); ++i) {
        const Byte b = Byte(pUtf8[i]);
        if (b == 0xEE || (b == 0xEF && Byte(pUtf8[i + 1]) <= 0xA3)) return true;
    }
    return false;
}

// The bytes as CP932, when every one of them belongs to an assigned character.
std::optional<std::string> FromCp932(std::string_view pBytes) {
    const IconvPtr converter(iconv_open("UTF-8", "CP932"));
    if (converter.get() == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    // A CP932 character of one or two bytes is at most three in UTF-8.
    std::string out(pBytes.size() * 3, '\0');
    char* in = const_cast<char*>(pBytes.data());
    std::size_t inLeft = pBytes.size();
    char* put = out.data();
    std::size_t outLeft = out.size();
    if (iconv(converter.get(), &in, &inLeft, &put, &outLeft) == std::size_t(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    if (HasPrivateUse(out)) return std::nullopt;
    return out;
}

std::pair<TagText::Kind, std::string> Read(std::string_view pBytes) {
    using TagText::Kind;
    if (IsAscii(pBytes)) return {Kind::Ascii, std::string(pBytes)};
    if (IsUtf8(pBytes)) return {Kind::Utf8, std::string(pBytes)};
    if (!PlausibleWestern(pBytes))
        if (std::optional<std::string> japanese = FromCp932(pBytes))
            return {Kind::Cp932, std::move(*japanese)};
    return {Kind::Latin1, TagText::FromLatin1(pBytes)};
}

} // namespace

namespace TagText {

Kind Classify(std::string_view pBytes) {
    return Read(pBytes).first;
}

std::string Decode(std::string_view pBytes) {
    return Read(pBytes).second;
}

std::string FromLatin1(std::string_view pBytes) {
    std::string out;
    out.reserve(pBytes.size() * 2);
    for (const char c : pBytes) {
        const Byte b = Byte(c);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? char32_t(kWindows1252[b - 0x80]) : char32_t(b));
    }
    return out;
}

std::string WellFormed(std::string_view pUtf8) {
    if (IsUtf8(pUtf8)) return std::string(pUtf8);
    std::string out;
    out.reserve(pUtf8.size() + 8);
    for (std::size_t i = 0; i < pUtf8.size();) {
        const std::size_t length = CharacterAt(pUtf8, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(pUtf8.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace TagText
