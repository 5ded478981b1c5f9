#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "fs/Handles.h"
#include "fs/Remove.h"

namespace tidyfold::fs {

namespace {

bool IsDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Calls visit(name, type) for every entry of the folder but "." and "..",
// with type a d_type value; DT_UNKNOWN is resolved with a no-follow stat.
// An entry that vanishes while being resolved is skipped.
void ForEachEntry(const std::string& path,
                  const std::function<void(const char*, unsigned char)>& visit) {
    UniqueFd fd = OpenDirectoryAt(AT_FDCWD, path);
    if (!fd.Valid())
        ThrowErrno("cannot open folder", path);
    DIR* raw = sys::FdOpenDir(fd.Get());
    if (raw == nullptr)
        ThrowErrno("cannot list folder", path);
    fd.Release();
    DirStream dir(raw);
    while (dirent* entry = sys::ReadDir(dir.Get())) {
        if (IsDotOrDotDot(entry->d_name))
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (sys::LstatAt(dir.Fd(), entry->d_name, &st) != 0) {
                if (errno == ENOENT)
                    continue;
                ThrowErrno("cannot read the details of", JoinPath(path, entry->d_name));
            }
            type = static_cast<unsigned char>(IFTODT(st.st_mode));
        }
        visit(entry->d_name, type);
    }
    if (errno != 0)
        ThrowErrno("cannot list folder", path);
}

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
    ForEachEntry(path_, [&](const char* name, unsigned char type) {
        if (type == DT_REG || type == DT_LNK)
            files.emplace_back(JoinPath(path_, name));
    });
    return files;
}

std::vector<Folder> Folder::SubFolders() const {
    std::vector<Folder> folders;
    ForEachEntry(path_, [&](const char* name, unsigned char type) {
        if (type == DT_DIR)
            folders.push_back(Folder(JoinPath(path_, name)));
    });
    return folders;
}

std::size_t Folder::EntryCount() const {
    std::size_t count = 0;
    ForEachEntry(path_, [&](const char*, unsigned char) { ++count; });
    return count;
}

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
