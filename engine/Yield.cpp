#include "engine/Yield.h"

#include <utility>

namespace tidyfold {

namespace {
// One user-interface thread: plain globals are enough.
struct Installed {
    YieldHook hook;
    std::chrono::steady_clock::duration interval{};
    std::chrono::steady_clock::time_point last{};
    std::uint64_t count = 0;
};
Installed& Current() {
    static Installed installed;
    return installed;
}
}  // namespace

void SetYieldHook(YieldHook hook, std::chrono::steady_clock::duration interval) {
    Installed& current = Current();
    current.hook = std::move(hook);
    current.interval = interval;
    current.last = {};
}

void Yield() {
    Installed& current = Current();
    if (!current.hook)
        return;
    if (current.interval != std::chrono::steady_clock::duration{}) {
        const auto now = std::chrono::steady_clock::now();
        if (now - current.last < current.interval)
            return;
        current.last = now;
    }
    ++current.count;
    // Called through a copy: a hook may install another hook while it runs.
    const YieldHook hook = current.hook;
    hook();
}

std::uint64_t YieldCount() { return Current().count; }

}  // namespace tidyfold
