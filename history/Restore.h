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
// Why an empty file or folder, or an unpacked folder, is not made again.
inline constexpr const char* kNameTakenOnDesktop =
    "Something of that name is on the Desktop now, and it is left as it is.";

struct RestoreResult {
    std::int64_t undoPass = 0;   // the pass that recorded the restore; 0 when there was nothing to restore
    std::int64_t restored = 0;
    std::int64_t taken = 0;      // its name was taken on the Desktop: it stays in the offload folder
    std::int64_t missing = 0;    // no longer in the offload folder, or changed there since
    std::int64_t failed = 0;
    // Folders of the offload folder that the restore emptied, and removed.
    std::int64_t emptiedFolders = 0;
    // What happened to each action that was not put back, by its id.
    std::vector<std::pair<std::int64_t, std::string>> notes;
    // Each action looked at, as the pass's report tells it.
    std::vector<ReportEntry> entries;
};

// Called after each file with how many are done and how many there are.
using RestoreProgress = std::function<void(std::size_t done, std::size_t total)>;

// Puts back what pass took off the Desktop and is not put back yet: all of
// it, or only the given actions (ids of the pass's actions). Files and
// links it moved or copied into the offload folder go back to their old
// places, into folders made again where they are missing (never through a
// link), with their contents, permission bits and times, if they are still
// there as the pass left them; the folders of the offload folder that this
// empties are removed (never the offload folder itself). Empty folders and
// empty files it removed are made again with their permission bits and
// times; an unpacked folder it removed is unpacked again from its archive,
// if the archive is still the one the pass compared it with. A name taken
// on the Desktop is never replaced. In that order: folders first, so that
// what belongs in them finds them, archives put back before they are
// unpacked. Throws tidyfold::Error when the history cannot be written;
// what was put back until then stays put back and recorded.
RestoreResult Restore(History& history, std::int64_t pass, const std::vector<std::int64_t>& actions = {},
                      const RestoreProgress& progress = {});
// The same, filling result as it goes: when it throws, result holds what was
// done until then. origin says what started it.
void Restore(History& history, std::int64_t pass, const std::vector<std::int64_t>& actions,
             const RestoreProgress& progress, PassOrigin origin, RestoreResult& result);

}  // namespace tidyfold::history
