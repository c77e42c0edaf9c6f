#pragma once

#include <cstdint>
#include <string>

// The diagnostic channel: "<AppTitle>.log" and ".err" in a "log" folder beside the executable,
// written only when the setting "LogError" is non-zero.
namespace Support {

[[nodiscard]] std::int32_t LogEnabled() noexcept;
void LogEnabled(std::int32_t pValue) noexcept;

// Reads "LogError" and "ErrorCatch" (or the file "ec.txt" in the program folder) into the two
// process-wide switches. Called once at start-up, after the settings store is chosen.
void LoadLogSwitches();

// Appends one time-stamped line; a file past 1,024,000 bytes starts again empty.
void WriteLog(const std::string& pText, int pIsError = 0);

// "yyyy/MM/dd HH:mm:ss" of the current local time.
[[nodiscard]] std::string FormatTimestamp();
// The same for a given date and seconds since midnight (clamped to 0 .. 86,399.999).
[[nodiscard]] std::string FormatTimestamp(int pYear, int pMonth, int pDay, double pSecondsSinceMidnight);

inline constexpr std::int64_t kLogRestartBytes = 1024000;

} // namespace Support
