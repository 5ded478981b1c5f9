// Removal of empty folders below a folder, deepest first: the folders are
// found first, then removed one by one, each only if it is still the folder
// found and still empty.

#include "engine/FolderChain.h"
#include "engine/PassFolders.h"
#include "engine/cTidyfold.h"
#include "engine/RelativePath.h"

namespace tidyfold {

void cTidyfold::CleanUpFolders(const std::string& sPath) {
    const PassFolders folders(sPath, cOptions::StoredOffloadPath());
    desktopPath_ = folders.Desktop().Path();
    if (journal_ != nullptr)
        journal_->Folders(desktopPath_, cOptions::StoredOffloadPath());
    std::vector<PlanEntry> empty;
    PlanEmptyBelow(folders.Desktop(), "", folders, empty);
    RemoveEmptyFolders(folders.Desktop(), empty);
}

bool cTidyfold::PlanEmptyBelow(const fs::OpenFolder& folder, const std::string& relative, const PassFolders& folders,
                               std::vector<PlanEntry>& empty) {
    // Any entry counts, hidden files, FIFOs and links included: a folder is
    // removed only when there is truly nothing in it.
    const std::vector<fs::Entry> entries = folder.List();
    std::size_t going = 0;
    for (const fs::Entry& entry : entries) {
        if (entry.kind != fs::EntryKind::Folder)
            continue;
        // A kept folder stays as it is, empty or not, with all it holds.
        const std::string subRelative = RelativePath(relative, entry.name);
        if (Keep().Matches(subRelative, KeepKind::Folder))
            continue;
        const std::optional<fs::OpenFolder> sub = EnterListed(folder, entry, folders);
        if (sub && PlanEmptyBelow(*sub, subRelative, folders, empty)) {
            empty.push_back(PlanEntry{JournalAction::RemoveEmptyFolder, subRelative, {}, folder.Id(), entry, {}, {}});
            ++going;
        }
    }
    return going == entries.size();
}

void cTidyfold::RemoveEmptyFolders(const fs::OpenFolder& desktop, const std::vector<PlanEntry>& empty) {
    FolderChain chain(desktop);
    Journaled(empty, [&](const PlanEntry& folder) -> JournalResult {
        // The history's writes come between folders, and the user may move
        // one out of the Desktop meanwhile: nothing is removed there.
        chain.Revalidate();
        const fs::OpenFolder* parent = chain.Open(folder.relative);
        // A write-protected folder ends the removal (EACCES), as rm keeps it.
        if (parent == nullptr || parent->Id() != folder.folder || !parent->RemoveEmptyFolder(folder.seen))
            return {JournalOutcome::Skipped, "", "It was no longer empty, or no longer there."};
        return {};
    });
}

}  // namespace tidyfold
