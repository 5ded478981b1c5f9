// One whole tidying run over the Desktop.

#include <cmath>
#include <utility>

#include "base/Error.h"
#include "engine/PassFolders.h"
#include "engine/TransferFolders.h"
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

    ScanDesktop(folders);
    // A stop during the scan leaves part of the Desktop unscanned.
    Stopped_ = Stopped_ || Cancel_ != 0;
    if (colFiles_.empty())
        return std::nullopt;

    RaiseSetFileCount(static_cast<std::int32_t>(colFiles_.size()));
    TransferFolders transfers(folders);
    // By index, and each entry copied: a listener may call back into the
    // engine and grow the list while a file is transferred.
    for (std::size_t i = 0; i < colFiles_.size(); ++i) {
        if (Cancel_ != 0) {
            Stopped_ = true;
            return std::nullopt;
        }
        const CollectedFile file = colFiles_[i];
        ++Processed_;
        TransferFile(file, transfers);
    }
    ReachedCleanUp_ = true;
    CleanUpBelow(folders.Desktop(), "", folders);
    return static_cast<std::int32_t>(colFiles_.size());
}

const KeepList& cTidyfold::Keep() {
    if (!keep_)
        keep_.emplace(cOptions::StoredKeepPatterns());
    return *keep_;
}

std::string cTidyfold::PathOf(const std::string& relative) const { return fs::JoinPath(desktopPath_, relative); }

}  // namespace tidyfold
