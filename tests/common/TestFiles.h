#pragma once

// Temporary folders and hand-built WAV bytes for tests; independent of the code under test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace TestFiles {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        c_Path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(c_Path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(c_Path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::string& Path() const { return c_Path; }
    [[nodiscard]] std::string operator/(const std::string& pName) const { return c_Path + "/" + pName; }
    // Names of everything in the folder, sorted.
    [[nodiscard]] std::vector<std::string> List() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(c_Path))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string c_Path;
};

inline void WriteFile(const std::string& pPath, const Bytes& pBytes) {
    std::ofstream out(pPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(pBytes.data()), std::streamsize(pBytes.size()));
}

inline Bytes ReadFile(const std::string& pPath) {
    std::ifstream in(pPath, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put24(Bytes& b, std::int32_t v) {
    const auto u = std::uint32_t(v);
    b.push_back(std::uint8_t(u));
    b.push_back(std::uint8_t(u >> 8));
    b.push_back(std::uint8_t(u >> 16));
}
inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutId(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(id[i]));
}

inline std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
inline std::int16_t GetS16(const Bytes& b, std::size_t at) {
    return std::int16_t(b[at] | b[at + 1] << 8);
}
inline std::int32_t GetS24(const Bytes& b, std::size_t at) {
    std::int32_t v = b[at] | b[at + 1] << 8 | b[at + 2] << 16;
    return v > 0x7FFFFF ? v - 0x1000000 : v;
}

// A chunk with its size field; pDeclaredSize overrides the size written (for hostile headers).
inline Bytes Chunk(const char* pId, const Bytes& pBody, std::int64_t pDeclaredSize = -1) {
    Bytes c;
    PutId(c, pId);
    Put32(c, pDeclaredSize < 0 ? std::uint32_t(pBody.size()) : std::uint32_t(pDeclaredSize));
    for (const std::uint8_t byte : pBody)
        c.push_back(byte);
    if (pBody.size() % 2 == 1 && pDeclaredSize < 0) c.push_back(0);
    return c;
}

inline Bytes FmtBody(std::uint16_t pTag, std::uint16_t pChannels, std::uint32_t pRate, std::uint16_t pBits,
                     std::size_t pExtra = 0) {
    Bytes f;
    Put16(f, pTag);
    Put16(f, pChannels);
    Put32(f, pRate);
    Put32(f, pRate * pChannels * pBits / 8);
    Put16(f, pChannels * pBits / 8);
    Put16(f, pBits);
    f.resize(16 + pExtra, 0);
    return f;
}

// "RIFF" size "WAVE" followed by the chunks.
inline Bytes Riff(const std::vector<Bytes>& pChunks) {
    Bytes body;
    PutId(body, "WAVE");
    for (const Bytes& c : pChunks)
        for (const std::uint8_t byte : c)
            body.push_back(byte);
    Bytes file;
    PutId(file, "RIFF");
    Put32(file, std::uint32_t(body.size()));
    for (const std::uint8_t byte : body)
        file.push_back(byte);
    return file;
}

inline Bytes PcmWav(std::uint16_t pChannels, std::uint32_t pRate, std::uint16_t pBits, const Bytes& pData) {
    return Riff({Chunk("fmt ", FmtBody(1, pChannels, pRate, pBits)), Chunk("data", pData)});
}

inline Bytes Samples16(const std::vector<int>& pValues) {
    Bytes b;
    for (int v : pValues)
        Put16(b, std::uint32_t(std::uint16_t(std::int16_t(v))));
    return b;
}

inline Bytes Samples24(const std::vector<int>& pValues) {
    Bytes b;
    for (int v : pValues)
        Put24(b, v);
    return b;
}

// Deterministic pseudo-random 16-bit samples.
inline std::vector<int> Noise16(std::size_t pCount, std::uint32_t pSeed) {
    std::vector<int> v(pCount);
    std::uint32_t x = pSeed | 1;
    for (auto& s : v) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s = int(std::int16_t(x & 0xFFFF));
    }
    return v;
}

// A sparse file of pSize bytes starting with pHead: big files without using the disk.
inline void WriteSparse(const std::string& pPath, const Bytes& pHead, std::int64_t pSize) {
    WriteFile(pPath, pHead);
    std::filesystem::resize_file(pPath, std::uintmax_t(pSize));
}

} // namespace TestFiles
