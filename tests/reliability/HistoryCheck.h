#pragma once

// The history of passes against the disk, after recovery: what a killed
// pass recorded must agree with what it left, and Undo must then put every
// original back as it was.

#include <string>
#include <vector>

#include "tests/reliability/LossCheck.h"

namespace tidyfold::reliability {

// Recovers the sandbox's history as the next start would, then checks every
// pass: none still running or with an action unsettled; each file a pass
// offloaded (and no Undo put back) is in the offload folder and not on the
// Desktop, each other file of it is not in the offload folder; every file in
// the offload folder is one the history offloaded; no temporary file is left
// in either tree.
std::vector<std::string> CheckHistory(const Sandbox& box);

// Undoes every Clean Desktop pass of the history, then checks that the
// Desktop holds every original of before (a scan of the Desktop before the
// first pass) at its place with the same permission bits and modification
// time, its bytes equal to the file of the same path below pristine, and
// that the offload folder holds no file.
std::vector<std::string> UndoAndCheck(const Sandbox& box, const Snapshot& before, const std::string& pristine);

}  // namespace tidyfold::reliability
