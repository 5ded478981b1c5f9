#pragma once

// Seeded Desktop trees: nested folders, names with spaces, backslashes, line
// feeds and bytes that are not UTF-8, files of random sizes (a few of several
// MiB) and some symbolic links. The same seed gives the same tree.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tidyfold::reliability {

struct TreeSpec {
    int smallFiles = 200;
    std::size_t smallMax = 32 * 1024;
    int bigFiles = 3;
    std::size_t bigMin = 2 << 20;
    std::size_t bigMax = 4 << 20;
    int links = 6;
    int maxDepth = 4;
    bool zeroSized = true;  // some small files are empty
};

// Writes the tree into dir (which must exist). Never makes an empty folder.
void BuildTree(const std::string& dir, std::uint64_t seed, const TreeSpec& spec);

}  // namespace tidyfold::reliability
