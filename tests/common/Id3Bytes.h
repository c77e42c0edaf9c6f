#pragma once

// ID3v2.3 tags built byte by byte, as Japanese taggers long wrote them: text frames marked
// Latin-1 that hold Shift_JIS (CP932) bytes. Independent of the code under test and of TagLib.
#include "tests/common/TestFiles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Id3Bytes {

using TestFiles::Bytes;

inline void PutBe32(Bytes& pBytes, std::uint32_t pValue) {
    for (int shift = 24; shift >= 0; shift -= 8)
        pBytes.push_back(std::uint8_t(pValue >> shift));
}

// A frame: its identifier, its size (pDeclaredSize overrides it, for damaged tags), no flags, pBody.
inline Bytes Frame(const char* pId, const std::string& pBody, std::int64_t pDeclaredSize = -1) {
    Bytes frame;
    TestFiles::PutId(frame, pId);
    PutBe32(frame, pDeclaredSize < 0 ? std::uint32_t(pBody.size()) : std::uint32_t(pDeclaredSize));
    frame.push_back(0);
    frame.push_back(0);
    frame.insert(frame.end(), pBody.begin(), pBody.end());
    return frame;
}

// A text frame marked Latin-1 (encoding byte 0) holding pBytes as they are.
inline Bytes Latin1Text(const char* pId, const std::string& pBytes) {
    return Frame(pId, std::string(1, '\0') + pBytes);
}

// The tag header (version 2.3, syncsafe size), the frames and pPadding zero bytes.
inline Bytes Tag(const std::vector<Bytes>& pFrames, std::uint32_t pPadding = 0) {
    Bytes body;
    for (const Bytes& frame : pFrames)
        body.insert(body.end(), frame.begin(), frame.end());
    body.resize(body.size() + pPadding, 0);
    Bytes tag{'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(std::uint8_t((body.size() >> shift) & 0x7F));
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

// The Shift_JIS texts of ShiftJisTag.
namespace Sjis {
inline const std::string kTitle = "\x89\xC4\x82\xCC\x8A\x43\x95\xD3\x82\xC5"; // 夏の海辺で
inline const std::string kAlbum =
    "\x83\x73\x83\x41\x83\x6D\x97\xFB\x8F\x4B\x8B\xC8\x20\x91\xE6\x33\x94\xD4"; // ピアノ練習曲 第3番
inline const std::string kArtists =
    "\x83\x41\x81\x5B\x83\x65\x83\x42\x83\x58\x83\x67\x41\x2F\x83\x41\x81\x5B\x83"
    "\x65\x83\x42\x83\x58\x83\x67\x42"; // アーティストA/アーティストB
inline const std::string kAlbumArtist = "\x93\x8C\x8B\x9E\x8E\x96\x95\xCF"; // 東京事変
inline const std::string kGenre = "\x83\x57\x83\x83\x83\x59";               // ジャズ
inline const std::string kComment =
    "\x83\x65\x83\x58\x83\x67\x82\xCC\x83\x52\x83\x81\x83\x93\x83\x67"; // テストのコメント
inline const std::string kComposer = "\x8D\xEC\x8B\xC8\x89\xC6";        // 作曲家
inline const std::string kMood = "\x90\xC3\x82\xA9";                    // 静か
// The second byte of 表 is 0x5C, a backslash in ASCII.
inline const std::string kCoverName = "\x95\x5C\x8E\x86"; // 表紙
} // namespace Sjis

// Every common field, a field ID3v2.3 has no frame for, and a front cover, all in Shift_JIS.
inline Bytes ShiftJisTag(const std::string& pCover, const std::string& pTitle = Sjis::kTitle) {
    using namespace Sjis;
    return Tag({Latin1Text("TIT2", pTitle), Latin1Text("TPE1", kArtists), Latin1Text("TALB", kAlbum),
                Latin1Text("TPE2", kAlbumArtist), Latin1Text("TRCK", "3/12"), Latin1Text("TPOS", "1/2"),
                Latin1Text("TYER", "2019"), Latin1Text("TDAT", "0405"), Latin1Text("TCON", kGenre),
                Frame("COMM", std::string("\0jpn\0", 5) + kComment), Latin1Text("TCOM", kComposer),
                Frame("TXXX", std::string(1, '\0') + "MOOD" + std::string(1, '\0') + kMood),
                Frame("APIC", std::string(1, '\0') + "image/jpeg" + std::string(1, '\0') + "\x03" +
                                  kCoverName + std::string(1, '\0') + pCover)},
               256);
}

// What ShiftJisTag reads as.
inline const std::vector<std::pair<std::string, std::string>> kShiftJisFields{
    {"TITLE", "夏の海辺で"},
    {"ARTIST", "アーティストA/アーティストB"},
    {"ALBUM", "ピアノ練習曲 第3番"},
    {"ALBUMARTIST", "東京事変"},
    {"TRACKNUMBER", "3/12"},
    {"DISCNUMBER", "1/2"},
    {"GENRE", "ジャズ"},
    {"COMMENT", "テストのコメント"},
    {"COMPOSER", "作曲家"},
    {"MOOD", "静か"},
};

// A cover that looks like a JPEG file to anyone sniffing its first bytes.
inline std::string FakeJpeg(std::size_t pSize) {
    std::string data = "\xFF\xD8\xFF\xE0";
    for (std::size_t i = data.size(); i < pSize; ++i)
        data += char((i * 131 + 7) % 251);
    return data;
}

} // namespace Id3Bytes
