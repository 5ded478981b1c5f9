// One whole tidying run over the Desktop.

#include <cmath>
#include <utility>

#include "base/Error.h"
#include "engine/PassFolders.h"
#include "engine/TransferFolders.h"
#include "engine/Yield.h"
#include "engine/cTidyfold.h"
#include "shell/SafeFolders.h"
#include "shell/cSpecialFolders.h"

namespace tidyfold {

namespace {

// A limit that would make a pass destructive is refused before anything on
// disk is touched.
void RefuseUnsafeLimit(float timeLimit) {
    if (!std::isfinite(timeLimit) || timeLimit < 0.0f)
        throw Error::Refused("The time limit must be a number of days of zero or more.");
}

}  // namespace

void cTidyfold::CheckSettings() {
    Options_->LoadOptions();
    RefuseUnsafeLimit(Options_->TimeLimit());
    RefuseUnsafeOffloadPath(Options_->OffloadPath());
    const PassFolders folders(cSpecialFolders().Desktop(), Options_->OffloadPath());
}

// A plan carried out whole as it is made: the scan finds the files (the
// plan), then the empty files the gate found go, then the collected files,
// then the folders left empty.
std::optional<std::int32_t> cTidyfold::Clean() {
    Options_->LoadOptions();
    keep_.emplace(Options_->EffectiveKeepPatterns());
    TrashDirectory(Options_->OffloadPath());
    TimeLimit(Options_->TimeLimit());
    RefuseUnsafeLimit(TimeLimit_);
    RefuseUnsafeOffloadPath(Options_->OffloadPath());
    // Opened and checked once: the scan, the transfers and the removal of
    // empty folders all work in these very folders.
    PassFolders folders(cSpecialFolders().Desktop(), Options_->OffloadPath());
    desktopPath_ = folders.Desktop().Path();
    if (journal_ != nullptr)
        journal_->Folders(desktopPath_, Options_->OffloadPath());

    report_.mode = Options_->CopyAction();
    report_.desktop = desktopPath_;
    report_.offload = Options_->OffloadPath();
    BeginAgeing(folders.Desktop());
    gated_.clear();
    ScanDesktop(folders);
    // A stop during the scan leaves part of the Desktop unscanned.
    Stopped_ = Stopped_ || StopAsked();
    // Deleted whatever follows, as a gate in the middle of the scan would
    // have done: a Stop during the scan keeps what the scan had looked at.
    const std::vector<PlanEntry> gated = std::move(gated_);
    gated_.clear();
    DeleteGated(folders.Desktop(), gated);
    report_.collected = static_cast<std::int32_t>(colFiles_.size());
    if (colFiles_.empty())
        return std::nullopt;

    RaiseSetFileCount(static_cast<std::int32_t>(colFiles_.size()));
    if (!TransferCollected(folders))
        return std::nullopt;
    std::vector<PlanEntry> empty;
    PlanEmptyBelow(folders.Desktop(), "", folders, empty);
    RemoveEmptyFolders(folders.Desktop(), empty);
    return static_cast<std::int32_t>(colFiles_.size());
}

bool cTidyfold::TransferCollected(PassFolders& folders) {
    TransferFolders transfers(folders);
    // What the journal is told, when one listens: one intent per file, for
    // the modes that act on files.
    std::vector<JournalEntry> intents;
    const std::optional<JournalAction> action = TransferAction(Options_->CopyAction());
    if (journal_ != nullptr && action) {
        static const std::string kNowhere;
        intents.reserve(colFiles_.size());
        for (const CollectedFile& file : colFiles_)
            intents.push_back(JournalEntryOf(*action, file.relative, Offloads(*action) ? file.relative : kNowhere,
                                             file.seen));
    }
    JournalQueue queue(journal_, intents);
    // By index, and each entry copied: a listener may call back into the
    // engine and grow the list while a file is transferred.
    for (std::size_t i = 0; i < colFiles_.size(); ++i) {
        // Once per file in every mode, so that a Stop pressed while files
        // are moved or deleted is seen before the next one.
        Yield();
        if (StopAsked()) {
            Stopped_ = true;
            return false;
        }
        const CollectedFile file = colFiles_[i];
        const std::int64_t id = i < intents.size() ? queue.Before(i) : 0;
        const JournalResult result = queue.Failing(id, [&] { return TransferFile(file, transfers); });
        if (i < intents.size())
            queue.After(id, result);
        // A copy abandoned for a stop is neither done nor failed: the file
        // stays on the Desktop as if its turn had not come.
        if (cutShort_) {
            Stopped_ = true;
            return false;
        }
        ++report_.processed;
        if (action)
            Settled(*action, file.seen, file.relative, Offloads(*action) ? file.relative : std::string(), result);
        else
            LeaveAlone(file.relative, "the transfer mode in the settings leaves files where they are");
    }
    return true;
}

const KeepList& cTidyfold::Keep() {
    if (!keep_)
        keep_.emplace(cOptions::StoredKeepPatterns());
    return *keep_;
}

std::string cTidyfold::PathOf(const std::string& relative) const { return fs::JoinPath(desktopPath_, relative); }

}  // namespace tidyfold
