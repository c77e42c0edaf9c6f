// The text detector of tag fields: every input decodes to valid UTF-8 with nothing lost, read the
// way its kind says.
#include "engine/TagText.h"
#include "fuzz/FuzzFiles.h"

#include <optional>
#include <string>
#include <string_view>

using FuzzFiles::Check;
using FuzzFiles::Convert;

namespace {

std::size_t CodePoints(std::string_view pUtf8) {
    std::size_t count = 0;
    for (const char c : pUtf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t pSize) {
    const std::string_view bytes(reinterpret_cast<const char*>(pData), pSize);
    const TagText::Kind kind = TagText::Classify(bytes);
    const std::string text = TagText::Decode(bytes);
    Check(Convert(text, "UTF-8", "UTF-32LE").has_value(), "Decode: not valid UTF-8");
    const std::size_t characters = CodePoints(text);
    switch (kind) {
    case TagText::Kind::Ascii:
    case TagText::Kind::Utf8:
        Check(text == bytes, "Decode: UTF-8 changed");
        break;
    case TagText::Kind::Latin1:
        Check(characters == pSize, "Decode: Latin-1 lost or added characters");
        Check(text == TagText::FromLatin1(bytes), "Decode: Latin-1 reading differs");
        break;
    case TagText::Kind::Cp932: {
        // One or two bytes a character; back to CP932 and read again it stays the same text (CP932
        // has a few characters twice, so the bytes themselves may differ).
        Check(characters * 2 >= pSize && characters <= pSize, "Decode: CP932 lost or added characters");
        const std::optional<std::string> again = Convert(text, "UTF-8", "CP932");
        Check(again.has_value() && Convert(*again, "CP932", "UTF-8") == text, "Decode: CP932 not stable");
        break;
    }
    }
    return 0;
}
