#pragma once

// The one account of a pass: what it did to each entry, how it ended, and
// where files went. Facts only; every front end words them its own way (the
// result box, the command line, the notification, the History, the log), so
// that all of them tell the same story.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "engine/PassJournal.h"
#include "settings/cOptions.h"

namespace tidyfold {

// What a front end asked for, and what the history records a pass as.
enum class Operation {
    CleanDesktop,        // unpacked folders when the option says so, then a whole pass
    CleanUncompressed,   // folders unpacked beside their archives, option or not
    RemoveEmptyFolders,  // empty folders below the Desktop
    Undo,                // files a pass took off the Desktop, put back
};

enum class Ending {
    Completed,
    Stopped,  // asked to stop (the Stop button, closing the window, a signal)
    Failed,   // ended by an error
};

// What became of one entry the pass looked at.
struct ReportEntry {
    JournalAction action = JournalAction::Move;        // what was meant for it
    JournalOutcome outcome = JournalOutcome::Done;     // done, failed, or left alone on purpose
    fs::EntryKind kind = fs::EntryKind::File;
    std::string relative;  // below the Desktop
    // Below the offload folder, as stored (a taken name numbered): for copies
    // and moves, and for a restore where it came from.
    std::string where;
    std::string reason;  // why it failed or was left, in the system's or the pass's words
    // For a restore: what the pass it undoes did to the entry (a move, the
    // removal of an empty folder, ...).
    JournalAction undid = JournalAction::Move;
};

struct PassReport {
    Operation operation = Operation::CleanDesktop;
    std::optional<TransferMode> mode;  // the transfer mode of a Desktop clean
    std::string desktop;               // as the pass spelled them
    std::string offload;
    // The folders beside archives were looked at (a Desktop clean with the
    // option on, or Clean Uncompressed Folders).
    bool unpackedStep = false;
    // A Desktop clean's files: collected by the scan, and handled (done,
    // failed or left) before it ended; a copy cut short by a stop is not.
    std::int32_t collected = 0;
    std::int32_t processed = 0;
    std::vector<ReportEntry> entries;
    // What the pass noticed beside its entries, as its log says it (a folder
    // that changed while it was listed and was not entered).
    std::vector<std::string> notices;

    Ending ending = Ending::Completed;
    std::optional<Error> error;  // what ended a failed pass
    // The history could not record the pass's end: the pass did what the
    // entries say, and the history will show it as interrupted.
    std::optional<Error> unrecorded;
    std::int64_t pass = 0;    // its number in the history; 0 when not recorded
    std::int64_t undoes = 0;  // for an Undo: the pass it put back
    // For an Undo: the folders of the offload folder it emptied and removed.
    std::int32_t emptiedFolders = 0;

    std::int32_t Count(JournalAction action, JournalOutcome outcome) const;
    // Transfers of collected files (copy, move, delete, Trash) with this outcome.
    std::int32_t Transfers(JournalOutcome outcome) const;
    // Entries that changed something on the disk.
    std::int32_t Changes() const;
    // Failed before it changed anything: there is nothing to tell but the
    // error.
    bool CouldNotRun() const { return ending == Ending::Failed && Changes() == 0; }
    // The entries that went wrong, in order.
    std::vector<const ReportEntry*> Failures() const;
};

}  // namespace tidyfold
