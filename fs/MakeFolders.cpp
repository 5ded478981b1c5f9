#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "fs/FileSystem.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

namespace {

// Opens name inside dirfd as a folder, following a link to one: a
// configuration folder is often a link into a dotfile collection.
UniqueFd OpenFolderFollowing(int dirfd, const std::string& name) {
    return UniqueFd(sys::OpenAt(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The folder name inside parent, made with mode when it is missing; path
// names it in an error.
UniqueFd OpenOrMakeFolder(const UniqueFd& parent, const std::string& name, unsigned mode,
                          const std::string& path) {
    UniqueFd folder = OpenFolderFollowing(parent.Get(), name);
    if (folder.Valid())
        return folder;
    if (errno != ENOENT)
        ThrowErrno("cannot open folder", path);
    // EEXIST: made by someone else meanwhile, which is as good.
    if (sys::MkdirAt(parent.Get(), name.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
        ThrowErrno("cannot create folder", path);
    // The new entry must outlive a power loss with the file saved in it.
    if (sys::Fsync(parent.Get()) != 0)
        ThrowErrno("cannot create folder", path);
    folder = OpenFolderFollowing(parent.Get(), name);
    if (!folder.Valid())
        ThrowErrno("cannot open folder", path);
    return folder;
}

}  // namespace

bool EntryExists(const std::string& path) {
    struct stat st;
    return sys::LstatAt(AT_FDCWD, StripTrailingSlashes(path).c_str(), &st) == 0;
}

void CreateFolderPath(const std::string& path, unsigned mode) {
    if (path.empty() || path.front() != '/')
        ThrowErrno(EINVAL, "cannot create folder", path);
    // Walked down from the root one open folder at a time, so a folder
    // renamed meanwhile cannot send the next step somewhere else.
    UniqueFd folder = OpenFolderFollowing(AT_FDCWD, "/");
    if (!folder.Valid())
        ThrowErrno("cannot open folder", "/");
    std::size_t begin = 1;
    while (begin < path.size()) {
        std::size_t end = path.find('/', begin);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(begin, end - begin);
        begin = end + 1;
        if (name.empty() || name == ".")
            continue;
        UniqueFd inner = OpenOrMakeFolder(folder, name, mode, path.substr(0, end));
        folder = std::move(inner);
    }
}

}  // namespace tidyfold::fs
