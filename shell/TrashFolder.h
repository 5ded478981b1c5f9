#pragma once

#include <string>

namespace tidyfold {

// The user's home Trash, where a file manager looks for trashed files:
// $XDG_DATA_HOME/Trash, or ~/.local/share/Trash when that is not an absolute
// path. Empty when neither it nor a home folder is known.
std::string HomeTrashFolder();

}  // namespace tidyfold
