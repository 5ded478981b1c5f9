#include "shell/AppFiles.h"

#include "fs/FileSystem.h"
#include "shell/HomeFolder.h"
#include "shell/UserDirs.h"

namespace tidyfold {

namespace {

const char* FileName(AppFile file) {
    switch (file) {
    case AppFile::Settings:
        return "settings.ini";
    case AppFile::ArchiveList:
        return "compressed.lst";
    case AppFile::License:
        return "license.rtf";
    }
    return "";
}

AppFileLocation Installed(AppFile file, const std::string& data) {
    const std::string config = ConfigHome(HomeFolder()) + "/tidyfold";
    switch (file) {
    case AppFile::Settings:
        return {config + "/settings.ini", WhenMissing::CreateFolder};
    case AppFile::ArchiveList: {
        // Never created: the user's folder may not exist, and the data
        // folder is not the user's to write.
        const std::string own = config + "/compressed.lst";
        return {fs::EntryExists(own) ? own : data + "/compressed.lst", WhenMissing::Nothing};
    }
    case AppFile::License:
        return {data + "/license.rtf", WhenMissing::Nothing};
    }
    return {};
}

}  // namespace

AppFileLocation LocateAppFile(AppFile file) {
    const std::string program = fs::ApplicationFolder();
    // "../share/tidyfold" from the program's folder, spelled without "..".
    std::string prefix = fs::ParentPath(program);
    if (prefix == "/")
        prefix.clear();
    const std::string data = prefix + "/share/tidyfold";
    // Packagers sometimes link the data folder in from elsewhere.
    if (fs::FolderExists(fs::ResolveIfLink(data)))
        return Installed(file, data);
    return {program + "/" + FileName(file),
            file == AppFile::ArchiveList ? WhenMissing::CreateEmpty : WhenMissing::Nothing};
}

}  // namespace tidyfold
