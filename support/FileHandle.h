#pragma once

#include <utility>

namespace Support {

// Move-only owner of a POSIX file descriptor. The empty state stands for "no handle":
// descriptor 0 is a real descriptor on Linux, so -1 marks emptiness.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int pFd) noexcept
        : c_Fd(pFd) {}
    FileHandle(FileHandle&& pOther) noexcept
        : c_Fd(std::exchange(pOther.c_Fd, -1)) {}
    FileHandle& operator=(FileHandle&& pOther) noexcept {
        if (this != &pOther) {
            Close();
            c_Fd = std::exchange(pOther.c_Fd, -1);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }

    [[nodiscard]] bool IsOpen() const noexcept { return c_Fd >= 0; }
    explicit operator bool() const noexcept { return IsOpen(); }
    [[nodiscard]] int Fd() const noexcept { return c_Fd; }

    // Returns false when the kernel reported an error on close (a late write failure).
    bool Close() noexcept;

private:
    int c_Fd = -1;
};

} // namespace Support
