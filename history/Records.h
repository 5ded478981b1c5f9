#pragma once

// What the history holds: passes, and the actions of each.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/PassJournal.h"
#include "engine/PassReport.h"
#include "fs/OpenFolder.h"

namespace tidyfold::history {

// Undo: Undo Pass or Restore Selected.
using PassKind = Operation;

enum class PassEnding {
    Running,      // under way (or killed, until recovery sees it)
    Completed,
    Stopped,      // Stop was pressed
    Failed,       // ended by an error
    Interrupted,  // never ended (killed, power lost); reconciled with the disk afterwards
};

// Everything a pass can do to one entry: the engine's changes and putting
// an offloaded entry back (Restore).
using ActionKind = JournalAction;

// What started a pass.
enum class PassOrigin {
    Unknown,      // a pass recorded before origins were
    Window,
    CommandLine,
    Schedule,     // an automatic run of the schedule
};

enum class ActionOutcome {
    Pending,      // about to be carried out, or being carried out
    Done,
    Failed,
    Skipped,
    Interrupted,  // not carried out: its pass was killed first
};

struct PassRecord {
    std::int64_t id = 0;
    std::int64_t started = 0;  // seconds since 1970 UTC
    std::optional<std::int64_t> ended;
    PassKind kind = PassKind::CleanDesktop;
    std::optional<int> mode;  // the transfer mode of a Clean Desktop
    std::string desktop;
    std::string offload;
    PassEnding ending = PassEnding::Running;
    std::string error;       // what ended it, for a failed pass
    std::int64_t undoes = 0;  // the pass an Undo put back; 0 for others
    PassOrigin origin = PassOrigin::Unknown;
    // A Desktop clean's files: collected by its scan, and handled before it
    // ended (stopped or failed passes handle fewer); unknown for older passes.
    std::optional<std::int32_t> collected;
    std::optional<std::int32_t> processed;
    // The newest Undo of it that put something back; 0 if none.
    std::int64_t undoneBy = 0;

    // Its actions, by outcome.
    std::int64_t actions = 0;
    std::int64_t done = 0;
    std::int64_t notDone = 0;  // failed, skipped or never carried out
};

struct ActionRecord {
    std::int64_t id = 0;
    std::int64_t pass = 0;
    ActionKind kind = ActionKind::Move;
    fs::EntryKind entry = fs::EntryKind::File;
    std::string relative;     // below the Desktop
    std::string destination;  // below the offload folder (copies, moves, restores)
    fs::Identity id_seen;
    std::uint64_t size = 0;
    fs::FileTimes times;
    std::uint32_t mode = 0;
    ActionOutcome outcome = ActionOutcome::Pending;
    std::string note;
    std::int64_t undoes = 0;      // for a restore: the action it put back
    std::optional<ActionKind> undid;  // for a restore: what that action was
    std::int64_t restoredBy = 0;  // the Undo pass that put it back, 0 if none
    // For an unpacked folder: its archive as the pass compared it (passes
    // of histories before that was recorded have none).
    std::optional<ArchiveSeen> archive;

    // Offloaded into the offload folder: what an Undo can put back.
    bool Offloaded() const noexcept {
        return (kind == ActionKind::CopyThenDelete || kind == ActionKind::Move) && outcome == ActionOutcome::Done;
    }
    // An empty file or folder removed, which an Undo makes again: nothing of
    // it is lost but its name, mode and times, which the row holds.
    bool RemovedEmpty() const noexcept;
    // Done, and something an Undo gives back: an offloaded entry, an empty
    // file or folder (made again), an unpacked folder (unpacked again from
    // its archive).
    bool Undoable() const noexcept {
        return outcome == ActionOutcome::Done &&
               (Offloaded() || RemovedEmpty() || kind == ActionKind::RemoveUnpackedFolder);
    }
    bool CanRestore() const noexcept { return Undoable() && restoredBy == 0; }
    // A deletion of something with content (the delete mode), or of a link:
    // nothing of it is kept anywhere. Files sent to the Trash are the
    // Trash's to give back.
    bool CannotBeUndone() const noexcept {
        return !Undoable() && kind != ActionKind::Restore && kind != ActionKind::SendToTrash;
    }
};

// What an intent records: the engine's entry, or a restore.
struct Intent {
    ActionKind kind = ActionKind::Move;
    JournalEntry entry;
    std::int64_t undoes = 0;
};

ActionKind KindOf(JournalAction action);

// The words stored in the database, one per value; readable with the
// sqlite3 tool. The reverse gives nothing for an unknown word.
std::string_view Code(PassKind kind);
std::string_view Code(PassOrigin origin);
std::string_view Code(PassEnding ending);
std::string_view Code(ActionKind kind);
std::string_view Code(ActionOutcome outcome);
std::string_view Code(fs::EntryKind kind);
std::optional<PassKind> PassKindFrom(std::string_view code);
std::optional<PassOrigin> PassOriginFrom(std::string_view code);
std::optional<PassEnding> PassEndingFrom(std::string_view code);
std::optional<ActionKind> ActionKindFrom(std::string_view code);
std::optional<ActionOutcome> ActionOutcomeFrom(std::string_view code);
std::optional<fs::EntryKind> EntryKindFrom(std::string_view code);

}  // namespace tidyfold::history
