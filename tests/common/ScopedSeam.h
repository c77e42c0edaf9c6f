#pragma once

// A test's stand-in for a process-wide seam (the graph runtime, the filter catalogue, the
// message-box hook, a dialog runner) is put back on every way out of the test, a failed assertion
// included, so that no later test meets a stand-in whose owner is gone.
#include <functional>
#include <memory>
#include <utility>

class ScopedSeam {
public:
    // Runs pInstall now and pRestore when the guard goes.
    ScopedSeam(const std::function<void()>& pInstall, std::function<void()> pRestore)
        : c_Restore(std::move(pRestore)) {
        pInstall();
    }
    ~ScopedSeam() {
        if (c_Restore) c_Restore();
    }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

    // For a setter that hands back what it replaced: installs pValue, and puts the previous back.
    template <typename Setter, typename Value>
    [[nodiscard]] static ScopedSeam Swap(Setter pSet, Value pValue) {
        auto previous = std::make_shared<Value>();
        return ScopedSeam([&] { *previous = pSet(std::move(pValue)); },
                          [pSet, previous] { pSet(std::move(*previous)); });
    }

private:
    std::function<void()> c_Restore;
};
