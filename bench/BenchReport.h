#pragma once

// The rows the in-process benchmark programs print for bench/bench.py: label, median, min, 95th
// percentile, max, runs, runs at or over the target, target (0: none), tab-separated.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace BenchReport {

using Clock = std::chrono::steady_clock;

inline double Milliseconds(Clock::duration pDuration) {
    return std::chrono::duration<double, std::milli>(pDuration).count();
}

inline void Report(const char* pLabel, std::vector<double> pValues, double pTarget) {
    if (pValues.empty()) return;
    std::sort(pValues.begin(), pValues.end());
    const std::size_t n = pValues.size();
    const double median = n % 2 == 1 ? pValues[n / 2] : (pValues[n / 2 - 1] + pValues[n / 2]) / 2;
    const double p95 = pValues[std::min(n - 1, n * 95 / 100)];
    const auto over =
        std::count_if(pValues.begin(), pValues.end(), [&](double pValue) { return pValue >= pTarget; });
    std::printf("%s\t%.3f\t%.3f\t%.3f\t%.3f\t%zu\t%td\t%g\n", pLabel, median, pValues.front(), p95,
                pValues.back(), n, pTarget > 0 ? over : std::ptrdiff_t(0), pTarget);
    std::fflush(stdout);
}

// pSetUp runs untimed before each timed pWork; the first of pRuns + 1 runs only warms up.
inline void Time(const char* pLabel, double pTarget, int pRuns, const std::function<void()>& pSetUp,
                 const std::function<void()>& pWork) {
    std::vector<double> times;
    for (int i = 0; i < pRuns + 1; ++i) {
        pSetUp();
        const Clock::time_point start = Clock::now();
        pWork();
        const double elapsed = Milliseconds(Clock::now() - start);
        if (i > 0) times.push_back(elapsed);
    }
    Report(pLabel, times, pTarget);
}

} // namespace BenchReport
