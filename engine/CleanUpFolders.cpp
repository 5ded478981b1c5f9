// Removal of empty folders below a folder, deepest first.

#include "engine/cTidyfold.h"

namespace tidyfold {

void cTidyfold::CleanUpFolders(const std::string& sPath) { CleanUpBelow(fs::Folder::Get(sPath)); }

void cTidyfold::CleanUpBelow(const fs::Folder& folder) {
    for (const fs::Folder& sub : folder.SubFolders()) {
        // Any entry counts, hidden files, FIFOs and links included: a folder is
        // removed only when there is truly nothing in it.
        if (sub.EntryCount() == 0) {
            sub.Delete(fs::Force::No);
            continue;
        }
        CleanUpBelow(sub);
        if (sub.EntryCount() == 0)
            sub.Delete(fs::Force::No);
    }
}

}  // namespace tidyfold
