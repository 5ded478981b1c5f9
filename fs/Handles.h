#pragma once

// Owners of descriptors and directory streams for the file layer. They close
// through the seam but ignore the result: by the time a handle is dropped on
// an error path there is a better error to report, and close must not be
// retried on EINTR anyway.

#include <dirent.h>
#include <fcntl.h>

#include <string>
#include <utility>

#include "fs/Sys.h"

namespace tidyfold::fs {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const noexcept { return fd_; }
    bool Valid() const noexcept { return fd_ >= 0; }
    int Release() noexcept { return std::exchange(fd_, -1); }
    void Reset() noexcept {
        if (fd_ >= 0)
            sys::Close(std::exchange(fd_, -1));
    }
    // Closes now and reports the result (0 or an errno): a delayed write
    // error of the file system can surface only here.
    int CloseChecked() noexcept;

private:
    int fd_ = -1;
};

class DirStream {
public:
    DirStream() = default;
    explicit DirStream(DIR* dir) : dir_(dir) {}
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;
    ~DirStream() {
        if (dir_ != nullptr)
            sys::CloseDir(dir_);
    }
    DIR* Get() const noexcept { return dir_; }
    int Fd() const noexcept { return dirfd(dir_); }

private:
    DIR* dir_ = nullptr;
};

// Opens path as a directory without following a link in its last component.
// Returns an invalid descriptor and sets errno on failure.
UniqueFd OpenDirectoryAt(int dirfd, const std::string& path);

// Splits a path into the folder to open and the entry's name inside it, after
// dropping trailing "/": "/a/b" gives {"/a", "b"}, "b" gives {"", "b"}.
struct SplitPath {
    std::string folder;
    std::string name;
};
SplitPath Split(const std::string& path);
// Drops trailing "/" (but keeps a lone "/"): with a trailing "/" even a
// no-follow call would resolve a link in the last component.
std::string StripTrailingSlashes(const std::string& path);
// folder + "/" + name, without doubling the "/" of the root.
std::string JoinPath(const std::string& folder, const std::string& name);

// The open folder part of a split path (the current directory for an empty
// one). Links in it are followed: it is the path the caller chose to work in.
class ParentDir {
public:
    explicit ParentDir(const std::string& folder);
    // -1 when opening failed; errno then tells why.
    int Fd() const noexcept { return fd_.Get(); }

private:
    UniqueFd fd_;
};

// Writes all of data to fd. Returns 0 or an errno.
int WriteAll(int fd, const char* data, std::size_t size);

// Reads the text of the link at path (relative to dirfd). Returns 0 or an
// errno. sizeHint is the link's lstat size, 0 when unknown.
int ReadLinkTarget(int dirfd, const char* path, std::size_t sizeHint, std::string& target);

// Throws the system error for errno (or errnum): operation says what was
// being done ("cannot remove folder"), path what it was done to.
[[noreturn]] void ThrowErrno(const char* operation, const std::string& path);
[[noreturn]] void ThrowErrno(int errnum, const char* operation, const std::string& path);

}  // namespace tidyfold::fs
