#include "engine/TagText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using TagText::Kind;

struct Case {
    const char* What;
    std::string Bytes;
    Kind Expected;
    std::string Text;
};

TEST(TagText, TellsShiftJisFromLatin1AndUtf8) {
    const Case cases[]{
        {"plain ASCII", "Hello", Kind::Ascii, "Hello"},
        {"CP932 kanji and hiragana", "\x89\xC4\x82\xCC\x8A\x43\x95\xD3\x82\xC5", Kind::Cp932, "夏の海辺で"},
        {"CP932 katakana, kanji, a space and a digit",
         "\x83\x73\x83\x41\x83\x6D\x97\xFB\x8F\x4B\x8B\xC8\x20\x91\xE6\x33\x94\xD4", Kind::Cp932,
         "ピアノ練習曲 第3番"},
        {"CP932 after ASCII", "Mr.Children\x82\xCC\x8B\xC8", Kind::Cp932, "Mr.Childrenの曲"},
        {"one CP932 kanji", "\x88\xA4", Kind::Cp932, "愛"},
        {"CP932 halfwidth katakana", "\xC3\xBD\xC4", Kind::Cp932, "ﾃｽﾄ"},
        {"CP932's NEC circled digit", "\x87\x40", Kind::Cp932, "①"},
        {"UTF-8 Japanese", "夏の海辺で", Kind::Utf8, "夏の海辺で"},
        {"UTF-8 Latin", "Beyoncé", Kind::Utf8, "Beyoncé"},
        {"Latin-1, not CP932 at all", "Beyonc\xE9", Kind::Latin1, "Beyoncé"},
        {"Latin-1 whose bytes form a CP932 user-defined character",
         "M\xF6tley Cr\xFC"
         "e",
         Kind::Latin1, "Mötley Crüe"},
        {"Latin-1 capitals that are also CP932 halfwidth katakana",
         "M\xD6TLEY CR\xDC"
         "E",
         Kind::Latin1, "MÖTLEY CRÜE"},
        {"Latin-1 that is also two CP932 kanji", "H\xE9l\xE8ne", Kind::Latin1, "Hélène"},
        {"Windows-1252 apostrophe that is also a CP932 kanji", "Don\x92t Stop", Kind::Latin1, "Don’t Stop"},
        {"CP932's user-defined area is no text", "\xF0\x40", Kind::Latin1, "ð@"},
        {"UTF-8 cut inside a character is Latin-1", "caf\xC3", Kind::Latin1, "cafÃ"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TagText::Classify(c.Bytes), c.Expected) << c.What;
        EXPECT_EQ(TagText::Decode(c.Bytes), c.Text) << c.What;
    }
}

// Text from frames that declare UTF-8 or UTF-16 but hold broken bytes: only those are replaced.
TEST(TagText, WellFormedReplacesOnlyTheBrokenBytes) {
    const std::pair<std::string, std::string> cases[]{
        {"夏の海辺で", "夏の海辺で"},
        {"MusicBra\x9F", "MusicBra\uFFFD"},
        {"\xED\xA0\x80x", "\uFFFD\uFFFD\uFFFDx"}, // a lone surrogate, as a UTF-16 frame may leave one
        {"\xE5\xA4", "\uFFFD\uFFFD"},
        {"a\xC0\xAF"
         "b",
         "a\uFFFD\uFFFDb"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(TagText::WellFormed(bytes), text) << bytes;
}

TEST(TagText, Latin1KeepsEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const std::string text = TagText::FromLatin1(all);
    std::size_t characters = 0;
    for (const char c : text)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    EXPECT_EQ(characters, 256u) << "one character for every byte";
    EXPECT_EQ(text.substr(0, 3), std::string("\0\x01\x02", 3));
    EXPECT_NE(text.find("€"), std::string::npos);
    EXPECT_NE(text.find("ÿ"), std::string::npos);
    EXPECT_EQ(TagText::FromLatin1("\x81\x8D"), "\xC2\x81\xC2\x8D") << "Windows-1252's empty places";
}

} // namespace
