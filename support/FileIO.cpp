#include "support/FileIO.h"

#include "support/ErrorTrap.h"
#include "support/FileUtil.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Support {

bool FileHandle::Close() noexcept {
    if (c_Fd < 0) return true;
    const int rc = ::close(std::exchange(c_Fd, -1));
    return rc == 0 || errno == EINTR;
}

FileHandle OpenFile(const std::string& pName, int pFlags, unsigned pMode) {
    if (pName.empty()) return {};
    int fd;
    do {
        fd = ::open(pName.c_str(), pFlags | O_CLOEXEC, static_cast<mode_t>(pMode));
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? FileHandle() : FileHandle(fd);
}

std::int64_t ReadAt(const FileHandle& pHandle, void* pBuffer, std::size_t pCount, std::int64_t pOffset) {
    if (!pHandle || pOffset < 0) return -1;
    auto* out = static_cast<unsigned char*>(pBuffer);
    std::size_t got = 0;
    while (got < pCount) {
        const ssize_t n =
            ::pread(pHandle.Fd(), out + got, pCount - got, static_cast<off_t>(pOffset + std::int64_t(got)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(got);
}

std::optional<std::string> ReadWhole(const FileHandle& pHandle) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const std::int64_t n = ReadAt(pHandle, buffer, sizeof buffer, std::int64_t(text.size()));
        if (n < 0) return std::nullopt;
        if (n == 0) return text;
        text.append(buffer, std::size_t(n));
    }
}

bool WriteAll(int pFd, const void* pBuffer, std::size_t pCount) {
    const auto* in = static_cast<const unsigned char*>(pBuffer);
    std::size_t put = 0;
    while (put < pCount) {
        const ssize_t n = ::write(pFd, in + put, pCount - put);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        put += static_cast<std::size_t>(n);
    }
    return true;
}

FileHandle OpenForRead(const std::string& pName) {
    // Without blocking: opening a pipe that nobody writes to would wait for ever.
    FileHandle handle = OpenFile(pName, O_RDONLY | O_NONBLOCK);
    if (!handle) return {};
    const int fd = handle.Fd();
    // Only regular files have sizes and offsets; pipes, devices and folders are not read.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return {};
    return handle;
}

FileHandle CreateExclusive(const std::string& pName) {
    return OpenFile(pName, O_WRONLY | O_CREAT | O_EXCL);
}

std::int64_t ReadFileAtCounted(void* pBuffer, std::size_t pCount, const std::string& pName,
                               std::int64_t pOffset) {
    return Trapped<std::int64_t>(-1, [&]() -> std::int64_t {
        if (pOffset < 0) return -1;
        const FileHandle h = OpenForRead(pName);
        return ReadAt(h, pBuffer, pCount, pOffset);
    });
}

int ReadFileAt(void* pBuffer, std::size_t pCount, const std::string& pName, std::int64_t pOffset,
               int pAttempts) {
    const int attempts = pAttempts > 1 ? pAttempts : 1;
    for (int i = 1; i <= attempts; ++i) {
        if (ReadFileAtCounted(pBuffer, pCount, pName, pOffset) >= 0) return 1;
        if (i < attempts) WaitWithEvents(500, 10);
    }
    return 0;
}

int WriteFileAt(const void* pBuffer, std::size_t pCount, std::int64_t pOffset, FileHandle& pHandle,
                const std::string& pName) {
    const int ok = Trapped(0, [&] {
        if (!pHandle) {
            pHandle = OpenFile(pName, O_WRONLY | O_CREAT);
            if (!pHandle) return 0;
        }
        const off_t pos = pOffset == -1
                              ? ::lseek(pHandle.Fd(), 0, SEEK_END)
                              : (pOffset < 0 ? off_t(-1) : ::lseek(pHandle.Fd(), off_t(pOffset), SEEK_SET));
        if (pos < 0) return 0;
        return WriteAll(pHandle.Fd(), pBuffer, pCount) ? 1 : 0;
    });
    if (!ok) pHandle.Close();
    return ok;
}

int SeekFile(const FileHandle& pHandle, std::int64_t pOffset) {
    if (!pHandle || pOffset < 0) return -1;
    return ::lseek(pHandle.Fd(), off_t(pOffset), SEEK_SET) < 0 ? -1 : 0;
}

std::int64_t FileSizeOfHandle(const FileHandle& pHandle) {
    if (!pHandle) return -1;
    struct stat st {};
    if (::fstat(pHandle.Fd(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

std::int32_t FileSizeOfPath(const std::string& pName, std::int64_t& pSize) {
    pSize = 0;
    const FileHandle h = OpenForRead(pName);
    const std::int64_t size = FileSizeOfHandle(h);
    if (size < 0) return 0;
    pSize = size;
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(size) & 0xFFFFFFFFu));
}

std::uint32_t SaturateToDword(std::int64_t pValue) noexcept {
    if (pValue < 0) return 0;
    if (pValue > 0xFFFFFFFFLL) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(pValue);
}

} // namespace Support
