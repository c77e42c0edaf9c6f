#include "support/ErrorTrap.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace Support {

namespace {
std::atomic<bool> g_TrapErrors{true};
}

bool TrapErrors() noexcept {
    return g_TrapErrors.load(std::memory_order_relaxed);
}

void TrapErrors(bool pValue) noexcept {
    g_TrapErrors.store(pValue, std::memory_order_relaxed);
}

void EndOnUntrappedError(const char* pWhat) noexcept {
    std::fprintf(stderr, "Tolvane: run-time error: %s\n", pWhat);
    std::fflush(stderr);
    std::abort();
}

} // namespace Support
