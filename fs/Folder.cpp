#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "fs/Handles.h"
#include "fs/OpenFolder.h"
#include "fs/Remove.h"

namespace tidyfold::fs {

namespace {

// Every entry of the folder at path, listed once through the open folder.
std::vector<Entry> ListFolder(const std::string& path) { return OpenFolder::OpenNoFollow(path).List(); }

}  // namespace

Folder::Folder(std::string path) : path_(std::move(path)) {}

Folder Folder::Get(const std::string& path) {
    std::string whole = StripTrailingSlashes(path);
    struct stat st;
    if (sys::LstatAt(AT_FDCWD, whole.c_str(), &st) != 0)
        ThrowErrno("cannot open folder", path);
    // A link to a folder is a file of its own, never a way into the folder.
    if (!S_ISDIR(st.st_mode))
        ThrowErrno(ENOTDIR, "cannot open folder", path);
    return Folder(whole);
}

std::string Folder::Name() const { return Split(path_).name; }

std::vector<File> Folder::Files() const {
    std::vector<File> files;
    for (const Entry& entry : ListFolder(path_)) {
        if (entry.kind == EntryKind::File || entry.kind == EntryKind::Link)
            files.emplace_back(JoinPath(path_, entry.name));
    }
    return files;
}

std::vector<Folder> Folder::SubFolders() const {
    std::vector<Folder> folders;
    for (const Entry& entry : ListFolder(path_)) {
        if (entry.kind == EntryKind::Folder)
            folders.push_back(Folder(JoinPath(path_, entry.name)));
    }
    return folders;
}

std::size_t Folder::EntryCount() const { return ListFolder(path_).size(); }

void Folder::Delete(Force force) const {
    SplitPath split = Split(path_);
    // The root has no parent to remove it from.
    if (split.name.empty() || split.name == "." || split.name == "..")
        ThrowErrno(EBUSY, "cannot remove folder", path_);
    ParentDir parent(split.folder);
    if (parent.Fd() == -1)
        ThrowErrno("cannot open folder", split.folder);
    if (force == Force::Yes) {
        RemoveTreeAt(parent.Fd(), split.name, path_);
        return;
    }
    struct stat st;
    if (sys::LstatAt(parent.Fd(), split.name.c_str(), &st) != 0)
        ThrowErrno("cannot remove folder", path_);
    if (!S_ISDIR(st.st_mode))
        ThrowErrno(ENOTDIR, "cannot remove folder", path_);
    // Write-protected folders are kept unless forced, as rm keeps them.
    if ((st.st_mode & S_IWUSR) == 0)
        ThrowErrno(EACCES, "cannot remove folder", path_);
    if (sys::RmdirAt(parent.Fd(), split.name.c_str()) != 0)
        ThrowErrno("cannot remove folder", path_);
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return sys::LstatAt(AT_FDCWD, StripTrailingSlashes(path).c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

void CreateFolder(const std::string& path) {
    SplitPath parts = Split(StripTrailingSlashes(path));
    ParentDir parent(parts.folder);
    if (parent.Fd() < 0 || sys::MkdirAt(parent.Fd(), parts.name.c_str(), 0777) != 0)
        ThrowErrno("cannot create folder", path);
    // Copies are made durable inside this folder and their Desktop originals
    // then deleted; the folder itself must survive a power loss as well.
    if (sys::Fsync(parent.Fd()) != 0)
        ThrowErrno("cannot create folder", path);
}

}  // namespace tidyfold::fs
