#include "support/Twips.h"

#include <atomic>

namespace Support {

namespace {
std::atomic<float> g_TwipsPerPixel{15.0F};
} // namespace

float TwipsPerPixel() noexcept {
    return g_TwipsPerPixel.load(std::memory_order_relaxed);
}

void TwipsPerPixel(float pValue) noexcept {
    if (pValue > 0) g_TwipsPerPixel.store(pValue, std::memory_order_relaxed);
}

} // namespace Support
