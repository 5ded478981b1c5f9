#pragma once

// What a transfer killed half-way may leave behind, and the checks that tell
// whether its work was complete: recovery after a pass that never ended.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <set>
#include <string>

#include "fs/OpenFolder.h"

namespace tidyfold::fs {

// True when the two entries, each as listed in its folder, hold the same
// bytes: two regular files with equal contents, or two links with the same
// text. Anything else is not the same, and neither are two names of one
// file (its only copy). Neither is ever followed. Throws when one cannot be
// read.
bool SameContents(const OpenFolder& aFolder, const Entry& a, const OpenFolder& bFolder, const Entry& b);
bool SameContentsAt(int aDir, const Entry& a, int bDir, const Entry& b);

// True when entry, an empty file of folder, is the claim of a copy killed
// before its rename (see PlaceNoReplace): a copy's temporary file for its
// name lies beside it. Throws when the folder cannot be listed.
bool ClaimBeside(const OpenFolder& folder, const Entry& entry);

// Removes from folder the temporary files (and links) a copy left for one of
// finalNames (".<name>.tidyfold-tmp-XXXXXX"); where such a file was found,
// also the empty claims of its copy (see PlaceNoReplace) under the name or
// its numbered names: empty files made since claimsSince (the pass's start,
// ns), with the claim's mode where the drive keeps modes. Nothing else.
// Returns how many it removed. Throws on any failure but a file already
// gone.
std::size_t RemoveTemporaries(const OpenFolder& folder, const std::set<std::string>& finalNames,
                              std::int64_t claimsSince = std::numeric_limits<std::int64_t>::max());

}  // namespace tidyfold::fs
