// The walk below a folder: every file of every sub-folder, depth first,
// a folder's own files before anything beneath it.

#include "engine/cTidyfold.h"

namespace tidyfold {

namespace {

// The offload folder as the walk meets it: no doubled "/", no "." pieces and
// no trailing "/". Empty when there is nothing to leave out.
std::string FolderToSkip(const std::string& offload) {
    if (offload.empty() || offload.front() != '/')
        return {};
    std::string out;
    std::size_t pos = 0;
    while (pos < offload.size()) {
        std::size_t next = offload.find('/', pos);
        if (next == std::string::npos)
            next = offload.size();
        std::string_view piece(offload.data() + pos, next - pos);
        if (!piece.empty() && piece != ".") {
            out += '/';
            out += piece;
        }
        pos = next + 1;
    }
    return out;  // "/" itself gives empty text: the whole disk is never skipped
}

bool IsInside(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.compare(0, folder.size(), folder) != 0)
        return false;
    return path.size() == folder.size() || path[folder.size()] == '/';
}

}  // namespace

void cTidyfold::Recurse(const std::string& sPath) {
    if (Cancel_ != 0)
        return;
    RecurseInto(fs::Folder::Get(sPath), FolderToSkip(Options_->OffloadPath()));
}

void cTidyfold::RecurseInto(const fs::Folder& folder, const std::string& skip) {
    for (const fs::Folder& sub : folder.SubFolders()) {
        // An offload folder inside the Desktop holds the output of earlier
        // passes; scanning it would offload those files again.
        if (IsInside(sub.Path(), skip))
            continue;
        for (const fs::File& file : sub.Files())
            ExamineFile(file, LimitFrom::Engine);
        // Cancel is honoured where the nested walk would begin.
        if (Cancel_ == 0)
            RecurseInto(sub, skip);
    }
}

}  // namespace tidyfold
