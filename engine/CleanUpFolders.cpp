// Removal of empty folders below a folder, deepest first.

#include "engine/PassFolders.h"
#include "engine/cTidyfold.h"

namespace tidyfold {

void cTidyfold::CleanUpFolders(const std::string& sPath) {
    const PassFolders folders(sPath, cOptions::StoredOffloadPath());
    desktopPath_ = folders.Desktop().Path();
    CleanUpBelow(folders.Desktop(), "", folders);
}

bool cTidyfold::CleanUpBelow(const fs::OpenFolder& folder, const std::string& relative, const PassFolders& folders) {
    // Any entry counts, hidden files, FIFOs and links included: a folder is
    // removed only when there is truly nothing in it.
    const std::vector<fs::Entry> entries = folder.List();
    std::size_t removed = 0;
    for (const fs::Entry& entry : entries) {
        if (entry.kind != fs::EntryKind::Folder)
            continue;
        // A kept folder stays as it is, empty or not, with all it holds.
        const std::string subRelative = relative.empty() ? entry.name : relative + "/" + entry.name;
        if (Keep().Matches(subRelative, KeepKind::Folder))
            continue;
        const std::optional<fs::OpenFolder> sub = EnterListed(folder, entry, folders);
        if (sub && CleanUpBelow(*sub, subRelative, folders) && folder.RemoveEmptyFolder(entry))
            ++removed;
    }
    return removed == entries.size();
}

}  // namespace tidyfold
