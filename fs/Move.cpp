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
// without replacing, and only then the source goes, if it is still what was
// copied. Any failure leaves the source where it was and no copy behind.
Outcome MoveAcross(int fromfd, const Entry& seen, int todir, const std::string& name, const CopyProgress& progress,
                   const volatile int* cancel, const std::function<bool()>& keepSource) {
    struct stat st;
    // Fail before copying anything when the answer is already known.
    if (sys::LstatAt(todir, name.c_str(), &st) == 0)
        return Outcome{EEXIST};
    if (errno != ENOENT)
        return Outcome{errno};
    TempEntry temp(todir);
    Entry read;
    Outcome copied = CopyToTempAt(fromfd, seen, todir, name, temp, progress, cancel, &read);
    if (!copied.Ok())
        return copied;
    if (int error = PlaceNoReplace(todir, temp.Name().c_str(), todir, name.c_str()))
        return Outcome{error};
    temp.Release();
    Outcome removed{sys::Fsync(todir) != 0 ? errno : 0};
    if (removed.error == 0 && keepSource && keepSource())
        removed.changed = true;
    else if (removed.error == 0)
        removed = RemoveIfUnchangedAt(fromfd, read);
    // Changed since it was read: the copy holds the version that was read,
    // the Desktop the newer one; neither is lost.
    if (removed.changed && removed.error == 0)
        return Outcome{0, true, true};
    if (removed.error != 0)
        sys::UnlinkAt(todir, name.c_str());
    return removed;
}

Outcome MoveEntryAt(int fromfd, const Entry& seen, int todir, const std::string& name, const CopyProgress& progress,
                    const volatile int* cancel, const std::function<bool()>& keepSource) {
    int error = PlaceNoReplace(fromfd, seen.name.c_str(), todir, name.c_str());
    if (error != EXDEV)
        return Outcome{error};
    return MoveAcross(fromfd, seen, todir, name, progress, cancel, keepSource);
}

}  // namespace

Outcome MoveEntry(const OpenFolder& from, const Entry& seen, const OpenFolder& to, const std::string& name,
                  const CopyProgress& progress, const volatile int* cancel, const std::function<bool()>& keepSource) {
    return ReturningOutcome(
        [&] { return MoveEntryAt(from.Fd(), seen, to.Fd(), name, progress, cancel, keepSource); });
}

int MoveFile(const std::string& src, const std::string& dst) {
    return ReturningErrno([&]() -> int {
        const SplitPath from = Split(src);
        const SplitPath to = Split(dst);
        ParentDir fromDir(from.folder);
        if (fromDir.Fd() < 0)
            return errno;
        ParentDir toDir(to.folder);
        if (toDir.Fd() < 0)
            return errno;
        Entry seen;
        if (int error = SeeEntryAt(fromDir.Fd(), from.name, seen))
            return error;
        const Outcome moved = MoveEntryAt(fromDir.Fd(), seen, toDir.Fd(), to.name, CopyProgress(), nullptr, nullptr);
        return moved.error != 0 ? moved.error : moved.changed ? ESTALE : 0;
    });
}

}  // namespace tidyfold::fs
