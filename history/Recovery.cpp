#include "history/Recovery.h"

#include <map>
#include <set>

#include "base/Error.h"
#include "fs/Drive.h"
#include "fs/Leftovers.h"
#include "fs/Remake.h"
#include "fs/Transfer.h"
#include "history/Owner.h"
#include "history/Roots.h"
#include "history/Rows.h"
#include "history/Sqlite.h"

namespace tidyfold::history {

namespace {

constexpr const char* kWriteError = "cannot write the history";

struct Verdict {
    ActionOutcome outcome = ActionOutcome::Interrupted;
    std::string note;
    bool finished = false;
};

// A restore that makes its entry again rather than moving it back: an
// empty folder or file, an unpacked folder.
bool Remakes(const ActionRecord& action) {
    return action.kind == ActionKind::Restore && action.undid && *action.undid != ActionKind::CopyThenDelete &&
           *action.undid != ActionKind::Move;
}

bool IsTransfer(const ActionRecord& action) {
    return action.kind == ActionKind::CopyThenDelete || action.kind == ActionKind::Move ||
           (action.kind == ActionKind::Restore && !Remakes(action));
}

// A transfer takes its entry from one side to the other: the engine from
// the Desktop into the offload folder, a restore back.
Side From(ActionKind kind) { return kind == ActionKind::Restore ? Side::Offload : Side::Desktop; }
Side To(ActionKind kind) { return kind == ActionKind::Restore ? Side::Desktop : Side::Offload; }
const std::string& PathOn(const ActionRecord& action, Side side) {
    return side == Side::Desktop ? action.relative : action.destination;
}

// What a transfer puts at its destination: an entry of the same kind, size
// and modification time (a copy keeps the time, a rename everything), the
// time as the drive there stores it (FAT in 2 s steps). An empty file beside
// a copy's temporary file is the claim of a copy not yet in place.
bool LooksTransferred(const Spot& spot, const ActionRecord& action) {
    if (!spot.entry || spot.entry->kind != action.entry || spot.entry->size != action.size)
        return false;
    const std::int64_t step = fs::QuickRulesOf(spot.folder->Fd()).timeStepNs;
    if (!fs::SameStoredTime(spot.entry->times.modify_ns, action.times.modify_ns, step))
        return false;
    return spot.entry->size != 0 || !fs::ClaimBeside(*spot.folder, *spot.entry);
}

// The entry the action saw, still under its name: the same file. Where the
// drive makes up its inode numbers, the number says nothing after a
// remount, and the file is known by what it kept instead; before anything
// is removed on that ground, its bytes are compared all the same.
bool StillThere(const Spot& spot, const ActionRecord& action) {
    if (!spot.entry)
        return false;
    if (fs::QuickRulesOf(spot.folder->Fd()).stableIds)
        return spot.entry->id == action.id_seen;
    return LooksTransferred(spot, action);
}

Verdict DecideTransfer(Roots& roots, const ActionRecord& action, bool mayChange) {
    const Spot source = roots.Find(From(action.kind), PathOn(action, From(action.kind)));
    const Spot target = roots.Find(To(action.kind), PathOn(action, To(action.kind)));
    // A restore records the file as the pass offloaded it, and a copy in the
    // offload folder is another file than the Desktop's: it is known there
    // by what a copy keeps.
    const bool here = action.kind == ActionKind::Restore ? LooksTransferred(source, action)
                                                         : StillThere(source, action);
    const bool arrived = LooksTransferred(target, action);
    if (!here && arrived)
        return {ActionOutcome::Done, "", false};
    if (here && !arrived)
        return {ActionOutcome::Interrupted, "", false};
    if (!here)
        return {ActionOutcome::Interrupted, "It was in neither place when the pass was recovered.", false};
    // In both places: a copy killed after it was in place and before the
    // original went. Finished only when every byte is the same, and never
    // when the two places are one file (a folder replaced by a link).
    if (source.entry->id == target.entry->id ||
        (source.folder->Id() == target.folder->Id() && source.name == target.name))
        return {ActionOutcome::Interrupted, "Its two places are one and the same file now; it was left alone.", false};
    if (!mayChange)
        return {ActionOutcome::Interrupted, "It is in both places; nothing was removed: " + roots.Refusal(), false};
    if (!fs::SameContents(*source.folder, *source.entry, *target.folder, *target.entry))
        return {ActionOutcome::Interrupted, "Another file has its name at the destination.", false};
    if (!fs::RemoveIfUnchanged(*source.folder, *source.entry).Ok())
        return {ActionOutcome::Interrupted, "Its copy is complete, but the original changed and stays.", false};
    return {ActionOutcome::Done, "Finished when the pass was recovered: its copy was complete.", true};
}

// Made again by a restore: done when an entry of its kind has its name.
// Making one is a single call (an unpacking ends in one rename of its
// finished folder), so nothing half made ever has the name.
Verdict DecideRemade(Roots& roots, const ActionRecord& action) {
    const Spot spot = roots.Find(Side::Desktop, action.relative);
    if (spot.entry && spot.entry->kind == action.entry)
        return {ActionOutcome::Done, "", false};
    return {ActionOutcome::Interrupted, "", false};
}

Verdict Decide(Roots& roots, const ActionRecord& action, bool mayChange) {
    // Only paths below the roots, as the engine records them, are looked at.
    if (!SafeRelative(action.relative) || (IsTransfer(action) && !SafeRelative(action.destination)))
        return {ActionOutcome::Interrupted, "Its path does not lie below the folders of the pass; it was left alone.",
                false};
    if (Remakes(action))
        return DecideRemade(roots, action);
    if (IsTransfer(action))
        return DecideTransfer(roots, action, mayChange);
    const Spot spot = roots.Find(Side::Desktop, action.relative);
    if (!StillThere(spot, action))
        return {ActionOutcome::Done, "", false};
    if (action.kind == ActionKind::RemoveUnpackedFolder)
        return {ActionOutcome::Interrupted, "It is still there; part of its contents may be gone.", false};
    return {ActionOutcome::Interrupted, "", false};
}

// The folder of a relative path ("a/b" for "a/b/x"; "" for "x").
std::string FolderOf(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

// Temporary files are looked for only where an unfinished copy was going,
// and only under the names it was copying to.
std::int64_t RemoveTemporaries(Roots& roots, const PassRecord& pass, const std::vector<ActionRecord>& unfinished) {
    std::map<std::pair<Side, std::string>, std::set<std::string>> wanted;
    std::set<std::string> unpacking;
    for (const ActionRecord& action : unfinished) {
        if (IsTransfer(action) && SafeRelative(PathOn(action, To(action.kind))))
            wanted[{To(action.kind), FolderOf(PathOn(action, To(action.kind)))}].insert(
                LastName(PathOn(action, To(action.kind))));
        // An unpacking makes its folder beside the final name, on the Desktop.
        if (Remakes(action) && *action.undid == ActionKind::RemoveUnpackedFolder && SafeRelative(action.relative) &&
            action.relative.find('/') == std::string::npos)
            unpacking.insert(action.relative);
    }
    std::int64_t removed = 0;
    if (const fs::OpenFolder* desktop = roots.Root(Side::Desktop); desktop != nullptr && !unpacking.empty())
        removed += static_cast<std::int64_t>(fs::RemoveUnpackLeftovers(*desktop, unpacking));
    for (const auto& [where, names] : wanted) {
        if (const fs::OpenFolder* folder = roots.FolderAt(where.first, where.second))
            // A claim is made during the pass; its start in whole seconds,
            // less the steps of a FAT clock.
            removed += static_cast<std::int64_t>(
                fs::RemoveTemporaries(*folder, names, (pass.started - 2) * 1'000'000'000));
    }
    return removed;
}

// Recorded as about to be carried out, with no outcome since.
std::vector<ActionRecord> Unfinished(Database& db, std::int64_t pass) {
    return LoadActions(db, pass, "a.id > ?3 AND o.action IS NULL");
}

struct Reconciled {
    RecoveredPass report;
    std::vector<std::pair<std::int64_t, Verdict>> verdicts;
};

// Looks at the disk (and finishes what can be finished); writes nothing to
// the history.
Reconciled Reconcile(Database& db, std::int64_t pass) {
    Reconciled result;
    result.report.pass = pass;
    const std::vector<ActionRecord> unfinished = Unfinished(db, pass);
    if (unfinished.empty())
        return result;
    const std::optional<PassRecord> record = LoadPass(db, pass);
    if (!record)
        throw Error::Refused("The history has no pass " + std::to_string(pass) + ".", db.Path());
    Roots roots(*record);
    // Folders that no pass could work in now (one replaced by a link to the
    // other, say) are only looked at: nothing is finished or removed.
    const bool mayChange = roots.Refusal().empty();
    for (const ActionRecord& action : unfinished) {
        Verdict verdict = Decide(roots, action, mayChange);
        result.report.done += verdict.outcome == ActionOutcome::Done ? 1 : 0;
        result.report.notDone += verdict.outcome == ActionOutcome::Done ? 0 : 1;
        result.report.finished += verdict.finished ? 1 : 0;
        result.verdicts.emplace_back(action.id, std::move(verdict));
    }
    if (mayChange)
        result.report.temporaries = RemoveTemporaries(roots, *record, unfinished);
    return result;
}

// Writes the verdicts, moves the settled mark past every action of the
// pass and stores its counts; inside the caller's transaction.
void WriteSettled(Database& db, std::int64_t pass, const Reconciled& reconciled) {
    Statement outcome = db.Prepare("INSERT OR REPLACE INTO outcomes(action, outcome, note) VALUES(?, ?, ?)");
    for (const auto& [id, verdict] : reconciled.verdicts) {
        if (verdict.outcome != ActionOutcome::Done || !verdict.note.empty())
            outcome.Bind(1, id).Bind(2, Code(verdict.outcome)).Bind(3, verdict.note).Run(kWriteError);
    }
    Statement mark = db.Prepare(
        "UPDATE passes SET settled = max(settled, coalesce((SELECT max(id) FROM actions WHERE id BETWEEN ? AND ?), 0)) "
        "WHERE id = ?");
    mark.Bind(1, FirstActionId(pass)).Bind(2, LastActionId(pass)).Bind(3, pass).Run(kWriteError);
    StoreCounts(db, pass);
}

// Whether recovery may touch pass now: its program is gone.
bool Abandoned(std::int64_t pass, const std::string& owner) {
    if (owner == ThisProgram())
        return !Recording(pass);
    return !StillRunning(owner);
}

}  // namespace

RecoveredPass Settle(Database& db, std::int64_t pass) {
    const Reconciled reconciled = Reconcile(db, pass);
    Transaction transaction(db);
    WriteSettled(db, pass, reconciled);
    transaction.Commit();
    return reconciled.report;
}

std::vector<RecoveredPass> RecoverPasses(Database& db, const Clock& clock) {
    struct Candidate {
        std::int64_t pass;
        std::string owner;
        bool ended;
    };
    std::vector<Candidate> candidates;
    {
        // Passes never settled: those that never ended, and ended ones whose
        // end could not look at the disk.
        Statement query =
            db.Prepare("SELECT id, owner, ended IS NOT NULL FROM passes WHERE actions IS NULL ORDER BY id");
        while (query.Step())
            candidates.push_back({query.Int(0), query.Text(1), query.Int(2) != 0});
    }
    std::vector<RecoveredPass> recovered;
    for (const Candidate& candidate : candidates) {
        const std::int64_t pass = candidate.pass;
        if (!candidate.ended && !Abandoned(pass, candidate.owner))
            continue;
        try {
            const Reconciled reconciled = Reconcile(db, pass);
            Transaction transaction(db);
            WriteSettled(db, pass, reconciled);
            if (!candidate.ended) {
                Statement end = db.Prepare("UPDATE passes SET ended = ?, ending = ? WHERE id = ?");
                end.Bind(1, clock()).Bind(2, Code(PassEnding::Interrupted)).Bind(3, pass).Run(kWriteError);
            }
            transaction.Commit();
            recovered.push_back(reconciled.report);
        } catch (const Error& error) {
            // Left as it is: the next start tries again.
            RecoveredPass failed;
            failed.pass = pass;
            failed.problem = error.what();
            recovered.push_back(std::move(failed));
        }
    }
    return recovered;
}

}  // namespace tidyfold::history
