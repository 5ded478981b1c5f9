#pragma once

// Putting back what a pass moved or copied into the offload folder. Every
// restore is itself a pass of the history ("undo"), recorded before each
// file moves like any other, so a restore killed half-way is recovered too.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/PassReport.h"
#include "history/Records.h"

namespace tidyfold::history {

class History;

// Why a file stays in the offload folder when its name is taken on the Desktop.
inline constexpr const char* kTakenOnDesktop =
    "A file of that name is on the Desktop now; it stays in the offload folder.";

struct RestoreResult {
    std::int64_t undoPass = 0;   // the pass that recorded the restore; 0 when there was nothing to restore
    std::int64_t restored = 0;
    std::int64_t taken = 0;      // its name was taken on the Desktop: it stays in the offload folder
    std::int64_t missing = 0;    // no longer in the offload folder, or changed there since
    std::int64_t failed = 0;
    // What happened to each action that was not put back, by its id.
    std::vector<std::pair<std::int64_t, std::string>> notes;
    // Each action looked at, as the pass's report tells it.
    std::vector<ReportEntry> entries;
};

// Called after each file with how many are done and how many there are.
using RestoreProgress = std::function<void(std::size_t done, std::size_t total)>;

// Puts back the files and links of pass that it moved or copied into the
// offload folder and that are still there and not yet put back: all of
// them, or only those of actions (ids of the pass's actions). Each goes to
// its old place on the Desktop, into folders made again where they are
// missing (never through a link), with its contents, permission bits and
// times; a name taken on the Desktop is never replaced. Throws
// tidyfold::Error when the history cannot be written or a folder cannot be
// made; what was put back until then stays put back and recorded.
RestoreResult Restore(History& history, std::int64_t pass, const std::vector<std::int64_t>& actions = {},
                      const RestoreProgress& progress = {});
// The same, filling result as it goes: when it throws, result holds what was
// done until then. origin says what started it.
void Restore(History& history, std::int64_t pass, const std::vector<std::int64_t>& actions,
             const RestoreProgress& progress, PassOrigin origin, RestoreResult& result);

}  // namespace tidyfold::history
