#pragma once

// What a Clean Desktop would do, found without touching anything, and the
// same changes carried out later, all of them or a chosen few. Each change
// is looked at again when its turn comes: a file used since, or replaced, or
// a folder no longer empty, is left as it is.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/Ageing.h"
#include "engine/PassJournal.h"
#include "fs/Drive.h"
#include "fs/OpenFolder.h"
#include "settings/cOptions.h"

namespace tidyfold {

// One change the plan would make.
struct PlanEntry {
    JournalAction action = JournalAction::Move;
    // Where it lies below the Desktop ("a/b/x.txt").
    std::string relative;
    // Where a copy or move would put it below the offload folder.
    std::string destination;
    // The folder that held it when it was found.
    fs::Identity folder;
    // The entry as its folder's listing gave it.
    fs::Entry seen;
    // For an unpacked folder: the archive beside it that it is compared with.
    std::string archive;
    // For a file: when it was last used and which time says so (its own, or
    // the desktop's record of opened files).
    ageing::LastUse lastUse;
    // For a copy or move: why the offload folder's drive cannot hold it (a
    // name it refuses, a link, a file too large), as far as known ahead.
    fs::Unfit unfit = {};
    // For an unpacked folder: its archive's size and modification time as
    // found; the folder goes only while the archive is still that one.
    std::uint64_t archiveSize = 0;
    std::int64_t archiveModifyNs = 0;

    // The journal's view of it.
    JournalEntry Journal() const;
};

// The journal's view of an entry seen at relative below the Desktop, going
// to destination below the offload folder (empty when it goes nowhere).
JournalEntry JournalEntryOf(JournalAction action, const std::string& relative, const std::string& destination,
                            const fs::Entry& seen);

struct CleanPlan {
    // The folders as the plan found them.
    std::string desktop;
    fs::Identity desktopId;
    std::string offload;
    TransferMode mode = TransferMode::CopyThenDelete;
    float timeLimit = 0.0f;
    // The Desktop's drive is mounted noatime: reading a file there leaves
    // its access time as it was.
    bool noAccessTimes = false;
    // The collected files in the order the scan found them (each to be
    // copied, moved or deleted by the mode), the empty files the null-file
    // gate would delete, the folders unpacked beside their archives, and
    // the folders that would then be empty, deepest first. Carried out in
    // the order a Clean Desktop works: unpacked folders, empty files,
    // transfers, empty folders.
    std::vector<PlanEntry> entries;

    std::size_t Count(JournalAction action) const;
};

// Whether an action is a transfer of a file that the scan collected.
bool IsTransfer(JournalAction action);
// What the transfer of a collected file is called under mode; nothing for
// a mode that leaves files where they are.
std::optional<JournalAction> TransferAction(TransferMode mode);
// Whether an action puts its entry into the offload folder.
bool Offloads(JournalAction action);

}  // namespace tidyfold
