#include "history/Restore.h"

#include <cerrno>

#include "base/Error.h"
#include "fs/Drive.h"
#include "fs/Permissions.h"
#include "fs/Transfer.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "history/Roots.h"

namespace tidyfold::history {

namespace {

constexpr const char* kTaken = kTakenOnDesktop;
constexpr const char* kMissing = "It is no longer in the offload folder.";
constexpr const char* kChanged = "It was changed or replaced in the offload folder since; it stays there.";

// What the pass put into the offload folder: an entry of the same kind,
// size and modification time (a copy keeps the time, a rename everything),
// the time as the drive of folder stores it (FAT in 2 s steps).
bool AsOffloaded(const fs::OpenFolder& folder, const fs::Entry& entry, const ActionRecord& action) {
    return entry.kind == action.entry && entry.size == action.size &&
           fs::SameStoredTime(entry.times.modify_ns, action.times.modify_ns,
                              fs::QuickRulesOf(folder.Fd()).timeStepNs);
}

// The intent of putting action back: the file as the pass offloaded it
// (recovery knows it in the offload folder by its size and times).
Intent IntentFor(const ActionRecord& action) {
    Intent intent;
    intent.kind = ActionKind::Restore;
    intent.undoes = action.id;
    intent.entry.kind = action.entry;
    intent.entry.relative = action.relative;
    intent.entry.destination = action.destination;
    intent.entry.id = action.id_seen;
    intent.entry.size = action.size;
    intent.entry.times = action.times;
    intent.entry.mode = action.mode;
    return intent;
}

class Restorer {
public:
    Restorer(Roots& roots, PassRecorder& recorder) : roots_(roots), recorder_(recorder) {}

    void Run(const std::vector<ActionRecord>& actions, const RestoreProgress& progress, RestoreResult& result) {
        std::vector<Intent> intents;
        intents.reserve(actions.size());
        for (const ActionRecord& action : actions)
            intents.push_back(IntentFor(action));
        std::size_t end = 0;
        std::int64_t first = 0;
        for (std::size_t i = 0; i < actions.size(); ++i) {
            if (i >= end) {
                const std::size_t start = i;
                end = start + recorder_.IntendRestores(std::span(intents).subspan(start), first);
                first -= static_cast<std::int64_t>(start);
            }
            const JournalResult outcome = PutBack(actions[i]);
            Count(actions[i], outcome, result);
            recorder_.Record(first + static_cast<std::int64_t>(i), outcome);
            if (progress)
                progress(i + 1, actions.size());
        }
    }

private:
    // A failure of the file layer is the failure of this one file.
    JournalResult PutBack(const ActionRecord& action) {
        try {
            return Move(action);
        } catch (const Error& error) {
            return {JournalOutcome::Failed, "", error.what()};
        }
    }

    JournalResult Move(const ActionRecord& action) {
        const Spot source = roots_.Find(Side::Offload, action.destination);
        if (!source.entry)
            return {JournalOutcome::Skipped, "", kMissing};
        if (!AsOffloaded(*source.folder, *source.entry, action))
            return {JournalOutcome::Skipped, "", kChanged};
        // A rename keeps its folder's creation in order on the disk's
        // journal; a copy across file systems removes its source afterwards,
        // so the folders it lands in must be on the disk first.
        const fs::OpenFolder* desktop = roots_.Root(Side::Desktop);
        const bool across = desktop != nullptr && desktop->Id().device != source.entry->id.device;
        std::string link;
        const fs::OpenFolder* to =
            roots_.Make(Side::Desktop, action.relative, across ? fs::Flush::Yes : fs::Flush::No, link);
        if (to == nullptr)
            return {JournalOutcome::Failed, "",
                    link.empty() ? "The Desktop folder is missing."
                                 : "A folder on its way back is a link, which is never followed: " + link};
        // Putting back never takes another name: the person looks for the
        // file under its own.
        const std::string name = LastName(action.relative);
        const fs::Outcome moved =
            fs::MoveEntry(*source.folder, *source.entry, *to, name, {}, nullptr, nullptr, fs::Clash::Fail);
        if (moved.error == EEXIST)
            return {JournalOutcome::Failed, "", kTaken};
        if (moved.copied)
            return {JournalOutcome::Done, "",
                    "It is back on the Desktop; the offload folder keeps a version of it that changed meanwhile."};
        if (!moved.Ok())
            return {JournalOutcome::Failed, "",
                    moved.changed ? std::string(kChanged) : SystemErrorText(moved.error)};
        // A pass makes a write-protected file writable before it moves it;
        // the file comes back with the bits it had on the Desktop.
        if (action.entry == fs::EntryKind::File && source.entry->mode != action.mode) {
            // Across file systems the file on the Desktop is a new one.
            const std::optional<fs::Entry> placed = to->Stat(name);
            if (!placed || !AsOffloaded(*to, *placed, action) ||
                !fs::SetPermissions(*to, name, placed->id, action.mode))
                return {JournalOutcome::Done, "", "Its permissions could not be set back: it changed meanwhile."};
        }
        return {JournalOutcome::Done, "", ""};
    }

    static void Count(const ActionRecord& action, const JournalResult& outcome, RestoreResult& result) {
        result.entries.push_back(ReportEntry{JournalAction::Restore, outcome.outcome, action.entry, action.relative,
                                             action.destination, outcome.note});
        const std::int64_t id = action.id;
        if (outcome.outcome == JournalOutcome::Done) {
            ++result.restored;
            return;
        }
        if (outcome.note == kTaken)
            ++result.taken;
        else if (outcome.outcome == JournalOutcome::Skipped)
            ++result.missing;
        else
            ++result.failed;
        result.notes.emplace_back(id, outcome.note);
    }

    Roots& roots_;
    PassRecorder& recorder_;
};

std::vector<ActionRecord> Restorable(const History& history, std::int64_t pass,
                                     const std::vector<std::int64_t>& ids) {
    std::vector<ActionRecord> actions = ids.empty() ? history.Actions(pass) : history.Actions(pass, ids);
    std::erase_if(actions, [](const ActionRecord& action) { return !action.CanRestore(); });
    return actions;
}

}  // namespace

RestoreResult Restore(History& history, std::int64_t pass, const std::vector<std::int64_t>& ids,
                      const RestoreProgress& progress) {
    RestoreResult result;
    Restore(history, pass, ids, progress, PassOrigin::Unknown, result);
    return result;
}

void Restore(History& history, std::int64_t pass, const std::vector<std::int64_t>& ids,
             const RestoreProgress& progress, PassOrigin origin, RestoreResult& result) {
    const std::optional<PassRecord> record = history.Pass(pass);
    if (!record)
        throw Error::Refused("The history has no pass " + std::to_string(pass) + ".", history.Path());
    // Recovery first: a pass killed half-way has its actions settled before
    // anything of it is put back.
    history.Recover();
    const std::vector<ActionRecord> actions = Restorable(history, pass, ids);
    if (actions.empty())
        return;
    // The checks of a pass, on the folders as they are now: nothing is put
    // back into, or taken out of, a folder no pass may work in.
    Roots roots(*record);
    if (!roots.Refusal().empty())
        throw Error::Refused(roots.Refusal(), record->offload);
    std::unique_ptr<PassRecorder> recorder =
        history.Begin(PassStart{PassKind::Undo, std::nullopt, record->desktop, record->offload, pass, origin});
    result.undoPass = recorder->Id();
    try {
        Restorer restorer(roots, *recorder);
        restorer.Run(actions, progress, result);
    } catch (const Error& error) {
        try {
            recorder->End(PassEnding::Failed, error.what());
        } catch (const Error&) {
            // Left to recovery; the first error is the one to report.
        }
        throw;
    }
    recorder->End(PassEnding::Completed);
}

}  // namespace tidyfold::history
