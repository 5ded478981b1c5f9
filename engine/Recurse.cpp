// The walk below a folder: every file of every sub-folder, depth first,
// a folder's own files before anything beneath it.

#include "engine/FolderPath.h"
#include "engine/cTidyfold.h"

namespace tidyfold {

void cTidyfold::Recurse(const std::string& sPath) {
    if (Cancel_ != 0)
        return;
    RecurseInto(fs::Folder::Get(sPath), NormalisedFolder(Options_->OffloadPath()));
}

void cTidyfold::RecurseInto(const fs::Folder& folder, const std::string& skip) {
    for (const fs::Folder& sub : folder.SubFolders()) {
        // An offload folder inside the Desktop holds the output of earlier
        // passes; scanning it would offload those files again. Only the folder
        // itself is left out: an offload folder above the Desktop must not
        // switch off the walk.
        if (!skip.empty() && NormalisedFolder(sub.Path()) == skip)
            continue;
        for (const fs::File& file : sub.Files())
            ExamineFile(file, LimitFrom::Engine);
        // Cancel is honoured where the nested walk would begin.
        if (Cancel_ == 0)
            RecurseInto(sub, skip);
    }
}

}  // namespace tidyfold
