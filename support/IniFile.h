#pragma once

#include <optional>
#include <string>

// The project's own reader and writer of INI files with private-profile rules: sections and keys
// match without regard to case, values are trimmed, other lines are kept as they are.
namespace IniFile {

// Longest value kept whole; Linux paths run to 4096 bytes with their terminator.
inline constexpr std::size_t kMaxValueBytes = 4095;

// The stored value of pKey in pSection, or nothing when the file, section or key is absent.
[[nodiscard]] std::optional<std::string> Read(const std::string& pFile, const std::string& pSection,
                                              const std::string& pKey);

// Sets pKey in pSection, adding the key or section when missing. The file is replaced by a new
// one in a single rename, so an interrupted write never leaves it half written.
[[nodiscard]] bool Write(const std::string& pFile, const std::string& pSection, const std::string& pKey,
                         const std::string& pValue);

// Line breaks and backslashes are written as \n, \r and \\ so that no value can start a new
// line of its own; other backslashes read back as they stand.
[[nodiscard]] std::string EscapeValue(const std::string& pValue);
[[nodiscard]] std::string UnescapeValue(const std::string& pText);

} // namespace IniFile
