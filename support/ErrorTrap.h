#pragma once

#include <exception>
#include <utility>

// The process-wide error-trapping switch and the one helper every entry point uses.
namespace Support {

[[nodiscard]] bool TrapErrors() noexcept;
void TrapErrors(bool pValue) noexcept;

// Reports an untrapped error and ends the program, as the switch demands when trapping is off.
[[noreturn]] void EndOnUntrappedError(const char* pWhat) noexcept;

// Runs pBody. With trapping on, any exception becomes pFailure; with it off, the program ends.
// No exception leaves a routine either way.
template <typename R, typename F> R Trapped(R pFailure, F&& pBody) noexcept {
    try {
        return std::forward<F>(pBody)();
    } catch (const std::exception& e) {
        if (!TrapErrors()) EndOnUntrappedError(e.what());
    } catch (...) {
        if (!TrapErrors()) EndOnUntrappedError("unknown error");
    }
    return pFailure;
}

} // namespace Support
