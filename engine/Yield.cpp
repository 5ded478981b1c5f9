#include "engine/Yield.h"

#include <utility>

namespace tidyfold {

namespace {
// One user-interface thread: a plain global is enough.
YieldHook& Hook() {
    static YieldHook hook;
    return hook;
}
std::uint64_t& Count() {
    static std::uint64_t count = 0;
    return count;
}
}  // namespace

void SetYieldHook(YieldHook hook) { Hook() = std::move(hook); }

void Yield() {
    // Called through a copy: a hook may install another hook while it runs.
    const YieldHook hook = Hook();
    if (hook) {
        ++Count();
        hook();
    }
}

std::uint64_t YieldCount() { return Count(); }

}  // namespace tidyfold
