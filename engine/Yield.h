#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace tidyfold {

// The engine yields here to let the user interface run: once per examined
// file, once per file transferred and twice per copy-progress report. It
// does nothing by default; the windows install a hook that processes
// pending events, and tests install their own (one that presses Stop, for
// example).
using YieldHook = std::function<void()>;

// With an interval, the hook runs at most that often: a window need not
// look at its events for every one of thousands of files a second, and a
// yield that ran nothing leaves the pass's open folders trusted.
void SetYieldHook(YieldHook hook, std::chrono::steady_clock::duration interval = {});
void Yield();

// How many yields have run a hook so far. Anything may have changed on disk
// during one (the user moved a folder, say): open folders kept from before
// are looked at again before they are trusted.
std::uint64_t YieldCount();

}  // namespace tidyfold
