// Where an offloaded file lands: its Desktop-relative folder path repeated
// beneath the offload folder.

#include <cerrno>

#include "base/Error.h"
#include "engine/FolderChain.h"
#include "engine/cTidyfold.h"
#include "shell/cSpecialFolders.h"

namespace tidyfold {

std::string cTidyfold::RetainDirStructure(const fs::File& tmpFile) {
    const std::string desktop = cSpecialFolders().Desktop();
    const std::string& path = tmpFile.Path();
    // Only the leading Desktop path is cut: a folder deeper down that happens
    // to repeat it is part of the relative path.
    const bool below = !desktop.empty() && path.size() > desktop.size() &&
                       path.compare(0, desktop.size(), desktop) == 0 && path[desktop.size()] == '/';
    if (!below)
        throw Error::Refused("The file is not inside the Desktop folder " + desktop, path);

    const std::string remainder = path.substr(desktop.size());  // begins with "/"
    const std::string& offload = Options_->OffloadPath();
    if (remainder.rfind('/') == 0)
        return offload + remainder;  // directly on the Desktop: nothing to create

    // The offload folder itself (and what is missing above it) by its path,
    // which the user chose; below it one name at a time, never through a
    // link, as the pass does.
    CreateFolderPath(offload);
    const fs::OpenFolder root = fs::OpenFolder::Open(offload);
    FolderChain chain(root);
    std::string link;
    if (chain.Make(remainder.substr(1), fs::Flush::Yes, link) == nullptr)
        throw Error::System(ELOOP, "cannot create folder", link);
    return offload + remainder;
}

void cTidyfold::CreateFolderPath(const std::string& folder) {
    if (fs::FolderExists(folder))
        return;
    const std::size_t slash = folder.rfind('/');
    const std::string parent = slash == std::string::npos ? std::string() : folder.substr(0, slash);
    // At the top ("/" or a bare name) there is nothing left to climb to; the
    // create below reports what is wrong.
    if (!parent.empty() && parent != folder && !fs::FolderExists(parent))
        CreateFolderPath(parent);
    if (!fs::FolderExists(folder))
        fs::CreateFolder(folder);
}

}  // namespace tidyfold
