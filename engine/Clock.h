#pragma once

#include <cstdint>
#include <functional>

namespace tidyfold {

// "Now" on the UTC clock, in whole seconds since 1970-01-01. Engines take it
// as a value so that tests decide what time it is.
using Clock = std::function<std::int64_t()>;

Clock SystemClock();

}  // namespace tidyfold
