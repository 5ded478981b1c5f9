#pragma once

#include <string>

namespace tidyfold {

// Where programs keep state that outlives a run but is not worth backing
// up: $XDG_STATE_HOME when it is an absolute path, else ~/.local/state. Empty
// when no home folder is known.
std::string StateFolder();

}  // namespace tidyfold
