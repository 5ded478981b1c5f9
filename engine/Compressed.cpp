// Folders unpacked beside their archives directly in a folder.

#include <unordered_map>

#include "engine/ArchiveList.h"
#include "engine/FolderPath.h"
#include "engine/cTidyfold.h"
#include "shell/AppFiles.h"

namespace tidyfold {

namespace {

ArchiveList ReadArchiveList() {
    const AppFileLocation list = LocateAppFile(AppFile::ArchiveList);
    if (list.whenMissing == WhenMissing::CreateEmpty)
        return ArchiveList::Parse(fs::ReadOrCreateFile(list.path));
    // The user's own list may be a link into a dotfile collection.
    return ArchiveList::Parse(fs::ReadLinkedConfigFile(list.path));
}

}  // namespace

std::int32_t cTidyfold::ProcessCompressed(const std::string& sPath) {
    const fs::Folder folder = fs::Folder::Get(sPath);
    // The list is read once and the sub-folders indexed once, so a Desktop
    // with many files costs one pass over them.
    const ArchiveList list = ReadArchiveList();
    const std::string offload = cOptions::StoredOffloadPath();
    std::unordered_map<std::string, fs::Folder> subFolders;
    for (const fs::Folder& sub : folder.SubFolders())
        subFolders.emplace(sub.Name(), sub);

    for (const fs::File& file : folder.Files()) {
        const std::string name = file.Name();
        const std::optional<std::string_view> base = list.BaseName(name);
        if (!base)
            continue;
        const auto match = subFolders.find(std::string(*base));
        if (match == subFolders.end())
            continue;
        // "Trash.zip" beside an offload folder kept on the Desktop must not
        // take the offloaded files with it.
        if (HoldsFolder(match->second.Path(), offload))
            continue;
        match->second.Delete(fs::Force::Yes);
        subFolders.erase(match);  // a second archive of the same name finds it gone
        ++RemovedFolders_;
    }
    return RemovedFolders_;
}

std::int16_t cTidyfold::IsCompressedFile(const fs::File& aFile) {
    return ReadArchiveList().BaseName(aFile.Name()) ? kTrue : kFalse;
}

std::int16_t cTidyfold::FoundUncompressedFolder(const fs::File& thisFile, const fs::Folder& currentFolder,
                                                std::optional<fs::Folder>& UCFolder) {
    const std::string name = thisFile.Name();
    const std::optional<std::string_view> base = ReadArchiveList().BaseName(name);
    if (!base)
        return kFalse;
    for (const fs::Folder& sub : currentFolder.SubFolders()) {
        if (sub.Name() == *base) {
            UCFolder = sub;
            return kTrue;
        }
    }
    return kFalse;
}

}  // namespace tidyfold
