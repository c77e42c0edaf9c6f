#pragma once

#include <cstdint>
#include <string>

namespace Support {

// Milliseconds as display text in one of thirteen fixed styles (0 .. 12); an unknown style gives
// an empty text. A negative value keeps its sign only when pAllowNegative is non-zero, else it
// counts as 0.
[[nodiscard]] std::string FormatMilliseconds(std::int32_t pMilliseconds, int pStyle, int& pAllowNegative);
// The same with negatives not allowed, as the length column and the detailed file text use it.
[[nodiscard]] std::string FormatMilliseconds(std::int32_t pMilliseconds, int pStyle);

} // namespace Support
