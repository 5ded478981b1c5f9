#pragma once

// Reconciling passes that never ended with the disk. A pass killed half-way
// (or whose program lost its power) leaves actions recorded as about to be
// carried out; what is on the disk tells which of them were.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Clock.h"

namespace tidyfold::history {

class Database;

// What reconciling one pass did.
struct RecoveredPass {
    std::int64_t pass = 0;
    std::int64_t done = 0;         // actions found carried out
    std::int64_t finished = 0;     // of those, copies finished now: the original removed after a byte comparison
    std::int64_t notDone = 0;      // actions found not carried out
    std::int64_t temporaries = 0;  // temporary files of its copies removed
    std::string problem;           // why it could not be reconciled yet, if it could not
};

// Every pass that never ended and whose program no longer runs: each of its
// unfinished actions is marked done or not done from what is on the disk; a
// copy (or a move across file systems) whose copy is complete but whose
// original is still there is finished once the two compare equal byte for
// byte; the temporary files its copies left in the folders it names are
// removed; then the pass is marked interrupted. A pass whose folders cannot
// be read is left for the next start, with the reason in problem.
std::vector<RecoveredPass> RecoverPasses(Database& db, const Clock& clock);

// Settles a pass that has ended: an action still unfinished (an error ended
// the pass in the middle of it, or before it) is marked done or not from the
// disk as above, and the pass's counts are stored. How it ended stays.
RecoveredPass Settle(Database& db, std::int64_t pass);

}  // namespace tidyfold::history
