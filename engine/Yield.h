#pragma once

#include <cstdint>
#include <functional>

namespace tidyfold {

// The engine yields here to let the user interface run: once per examined
// file and twice per copy-progress report. It does nothing by default; the
// windows install a hook that processes pending events, and tests install
// their own (one that presses Stop, for example).
using YieldHook = std::function<void()>;

void SetYieldHook(YieldHook hook);
void Yield();

// How many yields have run a hook so far. Anything may have changed on disk
// during one (the user moved a folder, say): open folders kept from before
// are looked at again before they are trusted.
std::uint64_t YieldCount();

}  // namespace tidyfold
