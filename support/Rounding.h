#pragma once

#include <cmath>
#include <cstdint>

// Real numbers become integers to the nearest, ties to even: the default rounding mode.
[[nodiscard]] inline std::int64_t RoundHalfEven(double pValue) noexcept {
    return std::llrint(pValue);
}

[[nodiscard]] inline std::int32_t RoundToInt32(double pValue) noexcept {
    return std::int32_t(RoundHalfEven(pValue));
}
