#pragma once

// Thin wrappers of every system call the file layer makes. Each one passes
// through the fault seam first; an injected fault sets errno and returns the
// call's failure value, exactly as the real call would. Nothing here retries,
// throws or follows a link on its own.

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <cstddef>
#include <ctime>

namespace tidyfold::fs::sys {

int OpenAt(int dirfd, const char* path, int flags, mode_t mode = 0);
int Close(int fd);
ssize_t Read(int fd, void* buffer, std::size_t size);
// pread: at offset, leaving the descriptor's position alone. A read like
// Read for the seam (Call::Read).
ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset);
ssize_t Write(int fd, const void* buffer, std::size_t size);
// From the current positions of both descriptors.
ssize_t CopyFileRange(int in, int out, std::size_t size);
int Fsync(int fd);

// fstatat with AT_SYMLINK_NOFOLLOW: a link is reported as the link.
int LstatAt(int dirfd, const char* path, struct stat* st);
int Fstat(int fd, struct stat* st);
// What the file system holding fd is (a stat for the seam: Call::Fstat).
int Fstatfs(int fd, struct statfs* st);
// fstatat following links, for a path that another program recorded and
// that may reach its folder through one. Nothing the passes act on is ever
// looked up this way.
int StatAt(int dirfd, const char* path, struct stat* st);
// fstatvfs: the mount flags of the file system that holds fd.
int Fstatvfs(int fd, struct statvfs* st);

// Takes ownership of fd on success only.
DIR* FdOpenDir(int fd);
// Sets errno to 0 before reading, so nullptr with errno 0 is the end.
dirent* ReadDir(DIR* dir);
int CloseDir(DIR* dir);
// Reads the next entries of the open folder fd into buffer as linux_dirent64
// records, from its first entry when fromStart is set. Returns the bytes
// filled, 0 at the end, or -1 with errno set.
ssize_t ReadDirChunk(int fd, void* buffer, std::size_t size, bool fromStart);

int MkdirAt(int dirfd, const char* path, mode_t mode);
int RmdirAt(int dirfd, const char* path);
int UnlinkAt(int dirfd, const char* path);
int RenameAt(int olddirfd, const char* oldpath, int newdirfd, const char* newpath);
// Fails with EEXIST instead of replacing newpath.
int RenameNoReplaceAt(int olddirfd, const char* oldpath, int newdirfd, const char* newpath);
// Never dereferences oldpath when it is a link.
int LinkAt(int olddirfd, const char* oldpath, int newdirfd, const char* newpath);
int SymlinkAt(const char* target, int dirfd, const char* path);
ssize_t ReadlinkAt(int dirfd, const char* path, char* buffer, std::size_t size);

int Fchmod(int fd, mode_t mode);
// Never reaches through a link: fails with EOPNOTSUPP when path is one.
int FchmodNoFollowAt(int dirfd, const char* path, mode_t mode);
int Futimens(int fd, const timespec times[2]);
// Sets the times of path itself, a link included.
int UtimensNoFollowAt(int dirfd, const char* path, const timespec times[2]);

}  // namespace tidyfold::fs::sys
