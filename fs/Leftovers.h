#pragma once

// What a transfer killed half-way may leave behind, and the checks that tell
// whether its work was complete: recovery after a pass that never ended.

#include <cstddef>
#include <set>
#include <string>

#include "fs/OpenFolder.h"

namespace tidyfold::fs {

// True when the two entries, each as listed in its folder, hold the same
// bytes: two regular files with equal contents, or two links with the same
// text. Anything else is not the same. Neither is ever followed. Throws when
// one cannot be read.
bool SameContents(const OpenFolder& aFolder, const Entry& a, const OpenFolder& bFolder, const Entry& b);

// Removes from folder the temporary files (and links) a copy left for one of
// finalNames (".<name>.tidyfold-tmp-XXXXXX"), and nothing else. Returns how
// many it removed. Throws on any failure but a file already gone.
std::size_t RemoveTemporaries(const OpenFolder& folder, const std::set<std::string>& finalNames);

}  // namespace tidyfold::fs
