#include "fs/Sys.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "fs/Fault.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace tidyfold::fs::sys {

namespace {
// True when the seam says this use fails; errno is then set for the caller.
bool Faulted(fault::Call call) {
    int errnum = fault::Check(call);
    if (errnum == 0)
        return false;
    errno = errnum;
    return true;
}
using fault::Call;
}  // namespace

int OpenAt(int dirfd, const char* path, int flags, mode_t mode) {
    return Faulted(Call::Open) ? -1 : ::openat(dirfd, path, flags, mode);
}

int Close(int fd) { return Faulted(Call::Close) ? -1 : ::close(fd); }

// Read and CopyFileRange can also be told to end early (kEndOfData).
ssize_t Read(int fd, void* buffer, std::size_t size) {
    const int errnum = fault::Check(Call::Read);
    if (errnum == fault::kEndOfData)
        return 0;
    if (errnum != 0) {
        errno = errnum;
        return -1;
    }
    return ::read(fd, buffer, size);
}

ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset) {
    const int errnum = fault::Check(Call::Read);
    if (errnum == fault::kEndOfData)
        return 0;
    if (errnum != 0) {
        errno = errnum;
        return -1;
    }
    return ::pread(fd, buffer, size, offset);
}

ssize_t Write(int fd, const void* buffer, std::size_t size) {
    return Faulted(Call::Write) ? -1 : ::write(fd, buffer, size);
}

ssize_t CopyFileRange(int in, int out, std::size_t size) {
    const int errnum = fault::Check(Call::CopyFileRange);
    if (errnum == fault::kEndOfData)
        return 0;
    if (errnum != 0) {
        errno = errnum;
        return -1;
    }
    return ::copy_file_range(in, nullptr, out, nullptr, size, 0);
}

int Fsync(int fd) { return Faulted(Call::Fsync) ? -1 : ::fsync(fd); }

int LstatAt(int dirfd, const char* path, struct stat* st) {
    return Faulted(Call::Lstat) ? -1 : ::fstatat(dirfd, path, st, AT_SYMLINK_NOFOLLOW);
}

int Fstat(int fd, struct stat* st) { return Faulted(Call::Fstat) ? -1 : ::fstat(fd, st); }

int Fstatfs(int fd, struct statfs* st) { return Faulted(Call::Fstat) ? -1 : ::fstatfs(fd, st); }
int StatAt(int dirfd, const char* path, struct stat* st) {
    return Faulted(Call::Stat) ? -1 : ::fstatat(dirfd, path, st, 0);
}

int Fstatvfs(int fd, struct statvfs* st) { return Faulted(Call::Statvfs) ? -1 : ::fstatvfs(fd, st); }

DIR* FdOpenDir(int fd) { return Faulted(Call::Opendir) ? nullptr : ::fdopendir(fd); }

dirent* ReadDir(DIR* dir) {
    if (Faulted(Call::Readdir))
        return nullptr;
    errno = 0;
    return ::readdir(dir);
}

int CloseDir(DIR* dir) {
    // The stream must go whatever the seam says, or its descriptor leaks.
    int errnum = fault::Check(Call::Close);
    int result = ::closedir(dir);
    if (errnum != 0) {
        errno = errnum;
        return -1;
    }
    return result;
}

ssize_t ReadDirChunk(int fd, void* buffer, std::size_t size, bool fromStart) {
    if (Faulted(Call::Readdir))
        return -1;
    if (fromStart && ::lseek(fd, 0, SEEK_SET) < 0)
        return -1;
    return ::getdents64(fd, buffer, size);
}

int MkdirAt(int dirfd, const char* path, mode_t mode) {
    return Faulted(Call::Mkdir) ? -1 : ::mkdirat(dirfd, path, mode);
}

int RmdirAt(int dirfd, const char* path) {
    return Faulted(Call::Rmdir) ? -1 : ::unlinkat(dirfd, path, AT_REMOVEDIR);
}

int UnlinkAt(int dirfd, const char* path) {
    return Faulted(Call::Unlink) ? -1 : ::unlinkat(dirfd, path, 0);
}

int RenameAt(int olddirfd, const char* oldpath, int newdirfd, const char* newpath) {
    return Faulted(Call::Rename) ? -1 : ::renameat(olddirfd, oldpath, newdirfd, newpath);
}

int RenameNoReplaceAt(int olddirfd, const char* oldpath, int newdirfd, const char* newpath) {
    if (Faulted(Call::Rename))
        return -1;
    if (fault::Lacks(fault::Lack::NoReplaceRename)) {
        errno = EINVAL;
        return -1;
    }
#if defined(SYS_renameat2)
    // The raw call works whether or not the C library has a wrapper.
    return static_cast<int>(
        ::syscall(SYS_renameat2, olddirfd, oldpath, newdirfd, newpath, RENAME_NOREPLACE));
#else
    errno = ENOSYS;
    return -1;
#endif
}

int LinkAt(int olddirfd, const char* oldpath, int newdirfd, const char* newpath) {
    if (Faulted(Call::Link))
        return -1;
    if (fault::Lacks(fault::Lack::HardLinks)) {
        errno = EPERM;
        return -1;
    }
    return ::linkat(olddirfd, oldpath, newdirfd, newpath, 0);
}

int SymlinkAt(const char* target, int dirfd, const char* path) {
    return Faulted(Call::Symlink) ? -1 : ::symlinkat(target, dirfd, path);
}

ssize_t ReadlinkAt(int dirfd, const char* path, char* buffer, std::size_t size) {
    return Faulted(Call::Readlink) ? -1 : ::readlinkat(dirfd, path, buffer, size);
}

int Fchmod(int fd, mode_t mode) { return Faulted(Call::Chmod) ? -1 : ::fchmod(fd, mode); }

int FchmodNoFollowAt(int dirfd, const char* path, mode_t mode) {
    if (Faulted(Call::Chmod))
        return -1;
    // An O_PATH descriptor pins the entry itself, so a link swapped in after
    // the check can never redirect the change to its target.
    int fd = ::openat(dirfd, path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    int result = ::fstat(fd, &st);
    if (result == 0 && S_ISLNK(st.st_mode)) {
        errno = EOPNOTSUPP;
        result = -1;
    } else if (result == 0) {
        char proc[64];
        std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
        result = ::chmod(proc, mode);
    }
    int saved = errno;
    ::close(fd);
    errno = saved;
    return result;
}

int Futimens(int fd, const timespec times[2]) {
    return Faulted(Call::Utimens) ? -1 : ::futimens(fd, times);
}

int UtimensNoFollowAt(int dirfd, const char* path, const timespec times[2]) {
    return Faulted(Call::Utimens) ? -1 : ::utimensat(dirfd, path, times, AT_SYMLINK_NOFOLLOW);
}

}  // namespace tidyfold::fs::sys
