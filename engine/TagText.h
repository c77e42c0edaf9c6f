#pragma once

#include <string>
#include <string_view>

// Text from tag fields that carry no character set of their own: ID3v1, ID3v2 frames marked
// Latin-1 and WAV LIST-INFO. Japanese taggers long stored Shift_JIS bytes there, others UTF-8;
// the bytes themselves decide.
namespace TagText {

enum class Kind {
    Ascii,
    Utf8,
    // Shift_JIS as Windows extends it (CP932).
    Cp932,
    // ISO-8859-1, with Windows-1252's printable characters in 0x80-0x9F.
    Latin1,
};

// How Decode reads the bytes: UTF-8 when they are valid UTF-8, CP932 when they are valid CP932 and
// not plausible Western text, Latin-1 otherwise.
[[nodiscard]] Kind Classify(std::string_view pBytes);

// The bytes as UTF-8 text, every byte accounted for: nothing is dropped or replaced.
[[nodiscard]] std::string Decode(std::string_view pBytes);

// Byte-for-byte Latin-1 (Windows-1252) reading, which never fails.
[[nodiscard]] std::string FromLatin1(std::string_view pBytes);

// pUtf8 with every byte that is not part of well-formed UTF-8 replaced by U+FFFD: text that a tag
// declared as Unicode but that is not.
[[nodiscard]] std::string WellFormed(std::string_view pUtf8);

} // namespace TagText
