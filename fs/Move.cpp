#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "fs/Copy.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

namespace {

// Puts oldName at newName unless newName exists. Returns 0 or an errno.
int PlaceNoReplace(int oldDir, const char* oldName, int newDir, const char* newName) {
    if (sys::RenameNoReplaceAt(oldDir, oldName, newDir, newName) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // No no-replace rename here: a hard link never replaces either.
    if (sys::LinkAt(oldDir, oldName, newDir, newName) != 0)
        return errno;
    if (sys::UnlinkAt(oldDir, oldName) != 0) {
        int error = errno;
        sys::UnlinkAt(newDir, newName);
        return error;
    }
    return 0;
}

// Across file systems: a durable copy under a temporary name, put in place
// without replacing, and only then the source goes. Any failure leaves the
// source where it was and no copy behind.
int MoveAcross(const std::string& src, const std::string& dst) {
    SplitPath to = Split(dst);
    ParentDir dir(to.folder);
    if (dir.Fd() < 0)
        return errno;
    struct stat st;
    // Fail before copying anything when the answer is already known.
    if (sys::LstatAt(dir.Fd(), to.name.c_str(), &st) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    TempEntry temp(dir.Fd());
    if (int error = CopyToTemp(src, dir.Fd(), to.name, temp, CopyProgress(), nullptr))
        return error;
    if (int error = PlaceNoReplace(dir.Fd(), temp.Name().c_str(), dir.Fd(), to.name.c_str()))
        return error;
    temp.Release();
    int error = 0;
    if (sys::Fsync(dir.Fd()) != 0 || sys::UnlinkAt(AT_FDCWD, src.c_str()) != 0)
        error = errno;
    if (error != 0)
        sys::UnlinkAt(dir.Fd(), to.name.c_str());
    return error;
}

}  // namespace

int MoveFile(const std::string& src, const std::string& dst) {
    return ReturningErrno([&]() -> int {
        std::string from = StripTrailingSlashes(src);
        std::string to = StripTrailingSlashes(dst);
        int error = PlaceNoReplace(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str());
        if (error != EXDEV)
            return error;
        return MoveAcross(from, to);
    });
}

}  // namespace tidyfold::fs
