#pragma once

// Scratch files and checks shared by the fuzz targets: the routines under test take file names, so
// each input is written to a file of a folder that belongs to this process alone.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

namespace FuzzFiles {

[[noreturn]] inline void Fail(const char* pWhat) {
    std::fprintf(stderr, "fuzz check failed: %s\n", pWhat);
    std::fflush(stderr);
    std::abort();
}

// A property of the routine under test that every input must keep.
inline void Check(bool pHolds, const char* pWhat) {
    if (!pHolds) Fail(pWhat);
}

class ScratchFolder {
public:
    // tmpfs when there is one: a fuzzer rewrites its files hundreds of times a second.
    ScratchFolder() {
        std::string base = "/dev/shm";
        if (::access(base.c_str(), W_OK | X_OK) != 0) {
            const char* tmp = std::getenv("TMPDIR");
            base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        }
        std::string pattern = base + "/tolvane-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot create a scratch folder");
        c_Path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(c_Path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] const std::string& Path() const { return c_Path; }
    [[nodiscard]] std::string operator/(const std::string& pName) const { return c_Path + "/" + pName; }

    // Names of everything in the folder.
    [[nodiscard]] std::vector<std::string> List() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(c_Path))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::string c_Path;
};

inline ScratchFolder& Scratch() {
    static ScratchFolder folder;
    return folder;
}

// Replaces pPath with exactly these bytes; a scratch file that cannot be written voids every check.
inline void WriteBytes(const std::string& pPath, const std::uint8_t* pData, std::size_t pSize) {
    const int fd = ::open(pPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("cannot write a scratch file");
    std::size_t put = 0;
    while (put < pSize) {
        const ssize_t n = ::write(fd, pData + put, pSize - put);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("cannot write a scratch file");
        put += std::size_t(n);
    }
    ::close(fd);
}

// The whole file, or nothing in pExists when it is not there.
inline std::vector<std::uint8_t> ReadBytes(const std::string& pPath, bool* pExists = nullptr) {
    std::vector<std::uint8_t> bytes;
    const int fd = ::open(pPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (pExists != nullptr) *pExists = fd >= 0;
    if (fd < 0) return bytes;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return bytes;
}

inline bool Exists(const std::string& pPath) {
    return ::access(pPath.c_str(), F_OK) == 0;
}

// pText converted by glibc alone, independent of the code under test; nothing when iconv refuses.
inline std::optional<std::string> Convert(std::string_view pText, const char* pFrom, const char* pTo) {
    const iconv_t converter = iconv_open(pTo, pFrom);
    Check(converter != reinterpret_cast<iconv_t>(-1), "iconv_open");
    std::string out(pText.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(pText.data());
    std::size_t inLeft = pText.size();
    char* put = out.data();
    std::size_t outLeft = out.size();
    const bool ok = iconv(converter, &in, &inLeft, &put, &outLeft) != std::size_t(-1) && inLeft == 0;
    iconv_close(converter);
    if (!ok) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

inline bool SameBytes(const std::vector<std::uint8_t>& pBytes, const std::uint8_t* pData, std::size_t pSize) {
    return pBytes.size() == pSize && (pSize == 0 || std::equal(pBytes.begin(), pBytes.end(), pData));
}

} // namespace FuzzFiles
