#pragma once

#include <string>

namespace tidyfold {

// Where programs keep the user's data: $XDG_DATA_HOME when it is an absolute
// path, else ~/.local/share. Empty when no home folder is known.
std::string DataFolder();

// The user's home Trash, where a file manager looks for trashed files: the
// data folder and "/Trash". Empty when no home folder is known.
std::string HomeTrashFolder();

}  // namespace tidyfold
