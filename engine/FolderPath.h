#pragma once

#include <string>

namespace tidyfold {

// A full path as the walks meet it: no doubled "/", no "." pieces and no
// trailing "/". Empty for a relative path and for "/" itself, so that a
// comparison with it never matches the whole disk.
std::string NormalisedFolder(const std::string& path);

// True when folder is inner or lies above it. Both are normalised first;
// an empty side never holds anything.
bool HoldsFolder(const std::string& folder, const std::string& inner);

}  // namespace tidyfold
