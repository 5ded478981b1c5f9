#pragma once

#include <cstdint>

namespace tidyfold {

// -1 when the controls were prepared without an error, 0 otherwise.
std::int16_t InitControlClasses();

}  // namespace tidyfold
