#pragma once

#include <functional>

namespace tidyfold {

// The engine yields here to let the user interface run: once per examined
// file and twice per copy-progress report. It does nothing by default; the
// windows install a hook that processes pending events, and tests install
// their own (one that presses Stop, for example).
using YieldHook = std::function<void()>;

void SetYieldHook(YieldHook hook);
void Yield();

}  // namespace tidyfold
