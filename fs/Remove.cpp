#include "fs/Remove.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "fs/Handles.h"

namespace tidyfold::fs {

namespace {

constexpr mode_t kOwnerAll = S_IRWXU;

void RemoveDirectoryAt(int parentfd, const char* name, const std::string& path, dev_t device);

// Unlinks one entry of any kind but a folder; a vanished entry is fine.
void UnlinkEntryAt(int dirfd, const char* name, const std::string& path) {
    if (sys::UnlinkAt(dirfd, name) != 0 && errno != ENOENT)
        ThrowErrno("cannot remove", path);
}

void RemoveEntryAt(int dirfd, const char* name, unsigned char type, const std::string& path,
                   dev_t device) {
    if (type == DT_UNKNOWN) {
        struct stat st;
        if (sys::LstatAt(dirfd, name, &st) != 0) {
            if (errno == ENOENT)
                return;
            ThrowErrno("cannot remove", path);
        }
        type = static_cast<unsigned char>(IFTODT(st.st_mode));
    }
    if (type == DT_DIR)
        RemoveDirectoryAt(dirfd, name, path, device);
    else
        UnlinkEntryAt(dirfd, name, path);
}

void RemoveContents(int fd, const std::string& path, dev_t device) {
    DIR* raw = sys::FdOpenDir(fd);
    if (raw == nullptr) {
        int saved = errno;
        sys::Close(fd);
        ThrowErrno(saved, "cannot list folder", path);
    }
    DirStream dir(raw);
    while (dirent* entry = sys::ReadDir(dir.Get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        RemoveEntryAt(dir.Fd(), entry->d_name, entry->d_type, JoinPath(path, entry->d_name),
                      device);
    }
    if (errno != 0)
        ThrowErrno("cannot list folder", path);
}

// Opens a folder for emptying, giving its owner full rights on it first when
// they are missing (a write-protected or unreadable folder goes too).
int OpenForRemoval(int parentfd, const char* name, const std::string& path, struct stat& st) {
    if (sys::LstatAt(parentfd, name, &st) != 0)
        return -1;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return -1;
    }
    if ((st.st_mode & kOwnerAll) != kOwnerAll &&
        sys::FchmodNoFollowAt(parentfd, name, (st.st_mode & 07777) | kOwnerAll) != 0)
        ThrowErrno("cannot change the permissions of", path);
    int fd = sys::OpenAt(parentfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat opened;
    int error = 0;
    if (sys::Fstat(fd, &opened) != 0)
        error = errno;
    else if (opened.st_dev != st.st_dev || opened.st_ino != st.st_ino)
        error = EBUSY;  // swapped for another folder between the check and the open
    if (error != 0) {
        sys::Close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

void RemoveDirectoryAt(int parentfd, const char* name, const std::string& path, dev_t device) {
    struct stat st;
    int fd = OpenForRemoval(parentfd, name, path, st);
    if (fd < 0) {
        // Became a file or a link since the listing: unlink just that entry.
        if (errno == ENOTDIR || errno == ELOOP)
            return UnlinkEntryAt(parentfd, name, path);
        if (errno == ENOENT)
            return;
        ThrowErrno("cannot remove folder", path);
    }
    // Never empty another file system mounted below the tree: the user asked
    // to remove a folder, not the contents of a disk that happens to be there.
    if (st.st_dev != device) {
        sys::Close(fd);
        ThrowErrno(EBUSY, "cannot remove folder", path);
    }
    RemoveContents(fd, path, device);
    if (sys::RmdirAt(parentfd, name) != 0 && errno != ENOENT)
        ThrowErrno("cannot remove folder", path);
}

}  // namespace

bool RemoveTreeAt(int parentfd, const std::string& name, const std::string& path, const Identity* expected) {
    struct stat st;
    if (sys::LstatAt(parentfd, name.c_str(), &st) != 0) {
        if (expected != nullptr && errno == ENOENT)
            return false;
        ThrowErrno("cannot remove folder", path);
    }
    // Not the folder the caller looked at: it is not the one to remove.
    if (expected != nullptr && (!S_ISDIR(st.st_mode) || IdentityOf(st) != *expected))
        return false;
    // The folder object may have been replaced by a link since it was opened;
    // a link is never a way into a tree to empty.
    if (!S_ISDIR(st.st_mode))
        ThrowErrno(ENOTDIR, "cannot remove folder", path);
    RemoveDirectoryAt(parentfd, name.c_str(), path, st.st_dev);
    return true;
}

}  // namespace tidyfold::fs
