#pragma once

#include "support/FileHandle.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Raw, unbuffered file access by name or by handle with 64-bit offsets.
namespace Support {

// Reads pCount bytes at pOffset into pBuffer, opening and closing the file on every call.
// A short read at the end of the file is a success and leaves the rest of the buffer as it was.
// pAttempts > 1 retries a failed read after 500 ms while events keep running. 1 or 0.
[[nodiscard]] int ReadFileAt(void* pBuffer, std::size_t pCount, const std::string& pName,
                             std::int64_t pOffset, int pAttempts = 0);

// Variant that also reports how many bytes arrived; -1 on failure.
[[nodiscard]] std::int64_t ReadFileAtCounted(void* pBuffer, std::size_t pCount, const std::string& pName,
                                             std::int64_t pOffset);

// Writes pCount bytes at pOffset (-1 appends). With an empty pHandle the named file is opened for
// writing, created when missing, its content kept; the open handle is left in pHandle and belongs to
// the caller. On any failure pHandle is closed (also one the caller passed in) and 0 is returned.
[[nodiscard]] int WriteFileAt(const void* pBuffer, std::size_t pCount, std::int64_t pOffset,
                              FileHandle& pHandle, const std::string& pName);

// Positions pHandle at pOffset from the beginning: 0 or -1.
[[nodiscard]] int SeekFile(const FileHandle& pHandle, std::int64_t pOffset);

// Size of the open file, or -1.
[[nodiscard]] std::int64_t FileSizeOfHandle(const FileHandle& pHandle);

// Sets pSize to the file's 64-bit size and returns its low 32 bits as a signed number;
// 0 with pSize 0 when the file cannot be opened or measured.
std::int32_t FileSizeOfPath(const std::string& pName, std::int64_t& pSize);

// 64-bit value to a 32-bit WAV size field: negative gives 0, above 4294967295 gives 0xFFFFFFFF.
[[nodiscard]] std::uint32_t SaturateToDword(std::int64_t pValue) noexcept;

// The loops every read and write of the program goes through: interrupted calls are repeated.
// Opens pName with open(2)'s pFlags (O_CLOEXEC added); empty handle on failure.
[[nodiscard]] FileHandle OpenFile(const std::string& pName, int pFlags, unsigned pMode = 0666);
// Reads pCount bytes at pOffset; stops early only at the end of the file. Bytes read, or -1.
[[nodiscard]] std::int64_t ReadAt(const FileHandle& pHandle, void* pBuffer, std::size_t pCount,
                                  std::int64_t pOffset);
// Writes all pCount bytes at the file position (the end, for a file opened to append).
[[nodiscard]] bool WriteAll(int pFd, const void* pBuffer, std::size_t pCount);
// The whole content of a file read from its start; nothing on failure.
[[nodiscard]] std::optional<std::string> ReadWhole(const FileHandle& pHandle);

// Opens an existing file for reading; empty handle on failure.
[[nodiscard]] FileHandle OpenForRead(const std::string& pName);

// Creates a new file that must not exist yet (O_EXCL); empty handle when it exists or cannot be made.
[[nodiscard]] FileHandle CreateExclusive(const std::string& pName);

} // namespace Support
