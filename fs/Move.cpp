#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "fs/Copy.h"
#include "fs/FreeName.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

namespace {

// Across file systems: a durable copy under a temporary name, put in place
// without replacing, and only then the source goes, if it is still what was
// copied. Any failure leaves the source where it was and no copy behind.
Outcome MoveAcross(int fromfd, const Entry& seen, int todir, const std::string& name, Clash clash,
                   const CopyProgress& progress, const volatile int* cancel, const std::function<bool()>& keepSource) {
    if (clash == Clash::Fail) {
        // Fail before copying anything when the answer is already known.
        struct stat st;
        if (sys::LstatAt(todir, name.c_str(), &st) == 0)
            return Outcome{EEXIST};
        if (errno != ENOENT)
            return Outcome{errno};
    }
    TempEntry temp(todir);
    Entry read;
    Outcome copied = CopyToTempAt(fromfd, seen, todir, name, temp, progress, cancel, &read);
    if (!copied.Ok())
        return copied;
    const Outcome placed = PlaceAtFreeName(todir, temp, name, clash, seen.kind);
    if (placed.error != 0) {
        // Put in place but not known to be on disk: the source stays, the
        // copy goes.
        if (!placed.placed.empty())
            sys::UnlinkAt(todir, placed.placed.c_str());
        return placed.unfit ? placed : Outcome{placed.error};
    }
    Outcome removed;
    if (removed.error == 0 && keepSource && keepSource())
        removed.changed = true;
    else if (removed.error == 0)
        removed = RemoveCopiedSourceAt(fromfd, read, todir, placed.placed);
    // Changed since it was read: the copy holds the version that was read,
    // the Desktop the newer one; neither is lost.
    if (removed.changed && removed.error == 0)
        return Outcome{0, true, true, placed.placed};
    if (removed.error != 0)
        sys::UnlinkAt(todir, placed.placed.c_str());
    else
        removed.placed = placed.placed;
    return removed;
}

Outcome MoveEntryAt(int fromfd, const Entry& seen, int todir, const std::string& name, Clash clash,
                    const CopyProgress& progress, const volatile int* cancel,
                    const std::function<bool()>& keepSource) {
    // Within a file system the rename itself claims the name.
    Outcome moved;
    moved.error = ClaimName(
        name, clash,
        [&](const std::string& to) { return PlaceNoReplace(fromfd, seen.name.c_str(), todir, to.c_str()); },
        moved.placed);
    if (moved.error != EXDEV && moved.error != 0 && moved.error != EEXIST)
        return RefusedAt(todir, name, seen.kind, moved.error);
    if (moved.error != EXDEV)
        return moved;
    return MoveAcross(fromfd, seen, todir, name, clash, progress, cancel, keepSource);
}

}  // namespace

Outcome MoveEntry(const OpenFolder& from, const Entry& seen, const OpenFolder& to, const std::string& name,
                  const CopyProgress& progress, const volatile int* cancel, const std::function<bool()>& keepSource,
                  Clash clash) {
    return ReturningOutcome([&] {
        return MoveEntryAt(from.Fd(), seen, to.Fd(), name, clash, progress, cancel, keepSource);
    });
}

}  // namespace tidyfold::fs
