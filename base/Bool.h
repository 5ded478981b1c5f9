#pragma once

// The program's booleans are 16-bit numbers: -1 is true, 0 is false, and a
// test for true accepts any non-zero value. Check-box states (0, 1, 2) are
// not booleans and are compared with exactly 1.

#include <cstdint>

namespace tidyfold {

inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

}  // namespace tidyfold
