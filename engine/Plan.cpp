// Plans of a Clean Desktop: made without touching anything, carried out
// later, all of them or a chosen few.

#include "engine/Plan.h"

#include <algorithm>

#include "base/Error.h"
#include "engine/PassFolders.h"
#include "engine/TransferFolders.h"
#include "engine/cTidyfold.h"
#include "shell/SafeFolders.h"
#include "shell/cSpecialFolders.h"

namespace tidyfold {

bool IsTransfer(JournalAction action) {
    return action == JournalAction::CopyThenDelete || action == JournalAction::Move ||
           action == JournalAction::Delete || action == JournalAction::SendToTrash;
}

std::optional<JournalAction> TransferAction(TransferMode mode) {
    switch (mode) {
        case TransferMode::CopyThenDelete:
            return JournalAction::CopyThenDelete;
        case TransferMode::Move:
            return JournalAction::Move;
        case TransferMode::Delete:
            return JournalAction::Delete;
        case TransferMode::Trash:
            return JournalAction::SendToTrash;
    }
    return std::nullopt;
}

bool Offloads(JournalAction action) { return action == JournalAction::CopyThenDelete || action == JournalAction::Move; }

JournalEntry JournalEntryOf(JournalAction action, const std::string& relative, const std::string& destination,
                            const fs::Entry& seen) {
    JournalEntry entry;
    entry.action = action;
    entry.kind = seen.kind;
    entry.relative = relative;
    entry.destination = destination;
    entry.id = seen.id;
    entry.size = seen.size;
    entry.times = seen.times;
    entry.mode = seen.mode;
    return entry;
}

JournalEntry PlanEntry::Journal() const {
    JournalEntry entry = JournalEntryOf(action, relative, destination, seen);
    if (action == JournalAction::RemoveUnpackedFolder)
        entry.archive = ArchiveSeen{archive, archiveSize, archiveModifyNs};
    return entry;
}

std::size_t CleanPlan::Count(JournalAction action) const {
    return static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(), [&](const PlanEntry& e) { return e.action == action; }));
}

namespace {

// The entries of plan with this action that were chosen.
std::vector<PlanEntry> Chosen(const CleanPlan& plan, const std::vector<bool>& chosen,
                              const std::function<bool(JournalAction)>& which) {
    std::vector<PlanEntry> picked;
    for (std::size_t i = 0; i < plan.entries.size(); ++i)
        if (i < chosen.size() && chosen[i] && which(plan.entries[i].action))
            picked.push_back(plan.entries[i]);
    return picked;
}

}  // namespace

void cTidyfold::Journaled(const std::vector<PlanEntry>& entries,
                          const std::function<JournalResult(const PlanEntry&)>& act) {
    std::vector<JournalEntry> intents;
    if (journal_ != nullptr)
        for (const PlanEntry& entry : entries)
            intents.push_back(entry.Journal());
    JournalQueue queue(journal_, intents);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::int64_t id = queue.Before(i);
        const JournalResult result = queue.Failing(id, [&] { return act(entries[i]); });
        queue.After(id, result);
        // What a stop cut short was neither done nor kept.
        if (!cutShort_)
            Settled(entries[i].action, entries[i].seen, entries[i].relative, entries[i].destination, result);
    }
}

CleanPlan cTidyfold::PlanClean() {
    CheckSettings();  // loads the settings
    keep_.emplace(Options_->EffectiveKeepPatterns());
    TrashDirectory(Options_->OffloadPath());
    TimeLimit(Options_->TimeLimit());
    const PassFolders folders(cSpecialFolders().Desktop(), Options_->OffloadPath());
    desktopPath_ = folders.Desktop().Path();
    BeginAgeing(folders.Desktop());
    CleanPlan plan;
    plan.desktop = desktopPath_;
    plan.desktopId = folders.Desktop().Id();
    plan.offload = Options_->OffloadPath();
    plan.mode = Options_->CopyAction();
    plan.timeLimit = TimeLimit_;
    plan.noAccessTimes = noAccessTimes_;

    const std::vector<PlanEntry> unpacked =
        Options_->DelUCFolders() == 1 ? PlanUnpacked(folders, true) : std::vector<PlanEntry>{};
    goneBeforeScan_.clear();
    for (const PlanEntry& folder : unpacked)
        goneBeforeScan_.push_back(folder.seen.id);
    std::vector<PlanEntry> empty;
    predictedEmpty_ = &empty;
    gated_.clear();
    colFiles_.clear();
    try {
        ScanDesktop(folders);
    } catch (...) {
        predictedEmpty_ = nullptr;
        goneBeforeScan_.clear();
        throw;
    }
    predictedEmpty_ = nullptr;
    goneBeforeScan_.clear();

    // An unknown mode leaves every collected file where it is.
    if (const std::optional<JournalAction> action = TransferAction(plan.mode)) {
        const fs::DriveRules rules = Offloads(*action) ? folders.OffloadRules() : fs::DriveRules{};
        // The collected files are handed over, not copied: a Preview of
        // every file of a large Desktop makes a hundred thousand entries.
        plan.entries.reserve(colFiles_.size() + gated_.size() + unpacked.size() + empty.size());
        for (CollectedFile& file : colFiles_) {
            const ageing::LastUse lastUse = LastUseOf(file.folder, file.seen);
            std::string destination = Offloads(*action) ? file.relative : std::string();
            plan.entries.push_back(PlanEntry{*action, std::move(file.relative), std::move(destination), file.folder,
                                             std::move(file.seen), {}, lastUse});
            PlanEntry& entry = plan.entries.back();
            if (Offloads(*action))
                entry.unfit = fs::WhyUnfit(rules, entry.relative, entry.seen.kind, entry.seen.size);
        }
    }
    plan.entries.insert(plan.entries.end(), gated_.begin(), gated_.end());
    gated_.clear();
    plan.entries.insert(plan.entries.end(), unpacked.begin(), unpacked.end());
    // Empty folders go only after a transfer loop, as in a Clean pass.
    if (!colFiles_.empty())
        plan.entries.insert(plan.entries.end(), empty.begin(), empty.end());
    colFiles_.clear();
    return plan;
}

cTidyfold::CarriedOut cTidyfold::CarryOut(const CleanPlan& plan, const std::vector<bool>& chosen) {
    CarriedOut result;
    // The mode and limit the person saw in the plan, whatever the settings
    // say by now.
    Options_->CopyAction(plan.mode);
    TrashDirectory(plan.offload);
    TimeLimit(plan.timeLimit);
    RefuseUnsafeOffloadPath(plan.offload);
    PassFolders folders(plan.desktop, plan.offload);
    // The plan's relative paths mean nothing in another folder.
    if (folders.Desktop().Id() != plan.desktopId)
        throw Error::Refused("The Desktop is another folder than when the preview was made. Preview it again.",
                             plan.desktop);
    desktopPath_ = folders.Desktop().Path();
    if (journal_ != nullptr)
        journal_->Folders(desktopPath_, plan.offload);
    report_.mode = plan.mode;
    report_.desktop = desktopPath_;
    report_.offload = plan.offload;
    report_.unpackedStep = plan.Count(JournalAction::RemoveUnpackedFolder) > 0;
    // Read afresh: a file opened since the plan was made stays.
    BeginAgeing(folders.Desktop());

    const std::int32_t before = RemovedFolders_;
    RemoveUnpacked(folders, Chosen(plan, chosen, [](JournalAction a) { return a == JournalAction::RemoveUnpackedFolder; }));
    result.unpacked = RemovedFolders_ - before;
    DeleteGated(folders.Desktop(), Chosen(plan, chosen, [](JournalAction a) { return a == JournalAction::DeleteEmptyFile; }));

    colFiles_.clear();
    for (const PlanEntry& file : Chosen(plan, chosen, IsTransfer))
        colFiles_.push_back(CollectedFile{file.relative, file.folder, file.seen});
    report_.collected = static_cast<std::int32_t>(colFiles_.size());
    if (!colFiles_.empty()) {
        RaiseSetFileCount(static_cast<std::int32_t>(colFiles_.size()));
        if (!TransferCollected(folders))
            return result;
    }
    // The folders checked go even when no file was: the Preview showed them
    // as going. Each is removed only if it is empty by then.
    RemoveEmptyFolders(folders.Desktop(),
                       Chosen(plan, chosen, [](JournalAction a) { return a == JournalAction::RemoveEmptyFolder; }));
    result.files = static_cast<std::int32_t>(colFiles_.size());
    return result;
}

}  // namespace tidyfold
