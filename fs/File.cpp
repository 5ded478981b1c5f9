#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <new>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

namespace {

struct stat LstatOrThrow(const std::string& path) {
    struct stat st;
    if (sys::LstatAt(AT_FDCWD, StripTrailingSlashes(path).c_str(), &st) != 0)
        ThrowErrno("cannot read the details of", path);
    return st;
}

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

File::File(std::string path) : path_(std::move(path)) {}

std::string File::Name() const { return Split(path_).name; }

bool File::IsLink() const { return S_ISLNK(LstatOrThrow(path_).st_mode); }

std::uint64_t File::Size() const {
    return static_cast<std::uint64_t>(LstatOrThrow(path_).st_size);
}

int File::Attributes() const {
    struct stat st = LstatOrThrow(path_);
    int attributes = kAttrNormal;
    if ((st.st_mode & S_IWUSR) == 0)
        attributes |= kAttrReadOnly;
    if (Name().starts_with('.'))
        attributes |= kAttrHidden;
    return attributes;
}

void File::SetAttributes(int attributes) const {
    struct stat st = LstatOrThrow(path_);
    // A link's mode means nothing, and chmod would change its target.
    if (S_ISLNK(st.st_mode))
        return;
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = (attributes & kAttrReadOnly) != 0 ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
    if (wanted == mode)
        return;
    if (sys::FchmodNoFollowAt(AT_FDCWD, StripTrailingSlashes(path_).c_str(), wanted) != 0) {
        // It became a link since the lstat: leave it alone as above.
        if (errno == EOPNOTSUPP)
            return;
        ThrowErrno("cannot change the permissions of", path_);
    }
}

FileTimes File::Times() const {
    struct stat st = LstatOrThrow(path_);
    return FileTimes{Nanoseconds(st.st_atim), Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

void File::Delete(Force force) const {
    std::string path = StripTrailingSlashes(path_);
    struct stat st = LstatOrThrow(path);
    if (S_ISDIR(st.st_mode))
        ThrowErrno(EISDIR, "cannot delete file", path_);
    // Write-protected files are kept unless forced, as rm keeps them.
    if (force == Force::No && !S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
        ThrowErrno(EACCES, "cannot delete file", path_);
    if (sys::UnlinkAt(AT_FDCWD, path.c_str()) != 0)
        ThrowErrno("cannot delete file", path_);
}

int DeleteFile(const std::string& path) {
    try {
        File(path).Delete(Force::No);
        return 0;
    } catch (const Error& error) {
        return error.Number();
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
}

}  // namespace tidyfold::fs
