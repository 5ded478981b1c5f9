#include "fs/Copy.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "fs/Drive.h"
#include "fs/FreeName.h"
#include "fs/Handles.h"
#include "fs/Leftovers.h"

namespace tidyfold::fs {

namespace {

// Large enough that progress reports stay rare, small enough that a cancel
// is seen within a fraction of a second.
constexpr std::size_t kRangeChunk = 8u << 20;
constexpr std::size_t kBufferChunk = 1u << 20;

bool Cancelled(const volatile int* cancel) { return cancel != nullptr && *cancel != 0; }

void Report(const CopyProgress& progress, std::uint64_t total, std::uint64_t done) {
    if (progress)
        progress(total, done);
}

Outcome Failed(int error) { return Outcome{error}; }
Outcome Changed() { return Outcome{0, true}; }

// One chunk through a buffer: bytes copied, 0 at the end, -1 with errno set.
ssize_t CopyChunkByBuffer(int in, int out, std::vector<char>& buffer) {
    if (buffer.empty())
        buffer.resize(kBufferChunk);
    ssize_t got;
    do {
        got = sys::Read(in, buffer.data(), buffer.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        return got;
    if (int error = WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) {
        errno = error;
        return -1;
    }
    return got;
}

// copy_file_range cannot serve every pair of file systems; the reasons it
// gives for that mean "copy it yourself", not a failed copy.
bool RangeUnsupported(int error) {
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP;
}

// Copies to the end of in; done receives the bytes copied. 0 or an errno.
int CopyData(int in, int out, std::uint64_t total, const CopyProgress& progress, const volatile int* cancel,
             std::uint64_t& done) {
    Report(progress, total, 0);
    if (Cancelled(cancel))
        return ECANCELED;
    done = 0;
    bool byRange = true;
    std::vector<char> buffer;
    for (;;) {
        ssize_t copied;
        if (byRange) {
            copied = sys::CopyFileRange(in, out, kRangeChunk);
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied < 0 && RangeUnsupported(errno)) {
                byRange = false;
                continue;
            }
        } else {
            copied = CopyChunkByBuffer(in, out, buffer);
        }
        if (copied < 0)
            return errno;
        if (copied == 0)
            return 0;
        done += static_cast<std::uint64_t>(copied);
        // A file that grows while it is copied still never reports more
        // transferred than its total.
        total = std::max(total, done);
        Report(progress, total, done);
        if (Cancelled(cancel))
            return ECANCELED;
    }
}

// Fails when finalName already is the source (the same name, or a hard link
// of it); replacing it would destroy the only copy of the data.
int CheckNotSame(const struct stat& source, int dirfd, const std::string& finalName) {
    struct stat target;
    if (sys::LstatAt(dirfd, finalName.c_str(), &target) != 0)
        return errno == ENOENT ? 0 : errno;
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino)
        return EINVAL;
    return 0;
}

// A drive that keeps no permission bits (FAT through FUSE answers ENOSYS)
// takes the copy as it is; on a Linux file system a refused chmod is a
// failure like any other.
bool NoPermissionsHere(int fd, int error) {
    if (error == ENOSYS || error == EOPNOTSUPP)
        return true;
    const bool none = error == EPERM && QuickRulesOf(fd).family != DriveFamily::Posix;
    errno = error;
    return none;
}

bool SameState(const struct stat& now, const struct stat& then) {
    return IdentityOf(now) == IdentityOf(then) && now.st_size == then.st_size &&
           now.st_ctim.tv_sec == then.st_ctim.tv_sec && now.st_ctim.tv_nsec == then.st_ctim.tv_nsec;
}

Outcome CopyRegular(int fromfd, const Entry& seen, const std::string& finalName, TempEntry& temp,
                    const CopyProgress& progress, const volatile int* cancel, Entry* read) {
    // O_NONBLOCK: should a FIFO take the file's place, the open must not hang.
    UniqueFd in(sys::OpenAt(fromfd, seen.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.Valid())
        return errno == ELOOP ? Changed() : Failed(errno);
    struct stat st;
    if (sys::Fstat(in.Get(), &st) != 0)
        return Failed(errno);
    if (!S_ISREG(st.st_mode) || IdentityOf(st) != seen.id)
        return Changed();
    UniqueFd out = temp.CreateFile(finalName, 0600);
    if (!out.Valid())
        return RefusedAt(temp.Dir(), finalName, EntryKind::File, errno);
    std::uint64_t done = 0;
    if (int error = CopyData(in.Get(), out.Get(), static_cast<std::uint64_t>(st.st_size), progress, cancel, done))
        return error == EFBIG ? RefusedAt(temp.Dir(), finalName, EntryKind::File, error) : Failed(error);
    // A read that ended early (a file system answering 0 too soon) or late is
    // no copy of the file that was opened.
    if (done != static_cast<std::uint64_t>(st.st_size))
        return Failed(EIO);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if ((sys::Fchmod(out.Get(), st.st_mode & 0777) != 0 && !NoPermissionsHere(out.Get(), errno)) ||
        sys::Futimens(out.Get(), times) != 0 || sys::Fsync(out.Get()) != 0)
        return Failed(errno);
    // Written to while it was read: the copy may hold half of each version.
    struct stat after;
    if (sys::Fstat(in.Get(), &after) != 0)
        return Failed(errno);
    if (!SameState(after, st))
        return Changed();
    if (read != nullptr)
        *read = EntryOf(seen.name, st);
    return Failed(out.CloseChecked());
}

Outcome CopyLink(int fromfd, const Entry& seen, const struct stat& st, int todir, TempEntry& temp,
                 const std::string& finalName, const CopyProgress& progress, Entry* read) {
    std::string target;
    if (int error = ReadLinkTarget(fromfd, seen.name.c_str(), static_cast<std::size_t>(st.st_size), target))
        return error == EINVAL ? Changed() : Failed(error);  // EINVAL: no longer a link
    // Replaced between the stat and the reading of its text.
    struct stat after;
    if (sys::LstatAt(fromfd, seen.name.c_str(), &after) != 0)
        return Failed(errno);
    if (!SameState(after, st))
        return Changed();
    Report(progress, 0, 0);
    if (int error = temp.CreateLink(target, finalName))
        return RefusedAt(todir, finalName, EntryKind::Link, error);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (sys::UtimensNoFollowAt(todir, temp.Name().c_str(), times) != 0)
        return Failed(errno);
    if (read != nullptr)
        *read = EntryOf(seen.name, st);
    return Outcome{};
}

// An empty file created exclusively under the final name, so that no other
// writer can take the name; its mode tells it from a person's empty file.
constexpr mode_t kClaimMode = 0600;

// Whether name in dirfd is still the claim mine: an empty regular file with
// its identity. Names are compared by what they lead to, so a claim that
// someone replaced is never mistaken for ours.
bool StillClaimed(int dirfd, const char* name, const struct stat& mine) {
    struct stat now;
    return sys::LstatAt(dirfd, name, &now) == 0 && S_ISREG(now.st_mode) && now.st_size == 0 &&
           IdentityOf(now) == IdentityOf(mine);
}

void KeepTimesAfterRename(int dirfd, const std::string& name, const FileTimes& times) {
    const DriveRules rules = QuickRulesOf(dirfd);
    if (rules.family == DriveFamily::Posix)
        return;
    struct stat now;
    if (sys::LstatAt(dirfd, name.c_str(), &now) != 0 ||
        SameStoredTime(EntryOf(name, now).times.modify_ns, times.modify_ns, rules.timeStepNs))
        return;
    // fusefat stamps a renamed entry with the time of the rename. Set again,
    // as far as the drive keeps it; a failure leaves a copy that is whole.
    const auto spec = [](std::int64_t ns) { return timespec{ns / 1'000'000'000, ns % 1'000'000'000}; };
    const timespec wanted[2] = {spec(times.access_ns), spec(times.modify_ns)};
    struct stat check;
    if (sys::LstatAt(dirfd, name.c_str(), &check) == 0 && IdentityOf(check) == IdentityOf(now))
        sys::UtimensNoFollowAt(dirfd, name.c_str(), wanted);
}

// Claims newName with an empty file, checks that the name still leads to
// the claim, and renames oldName over it: a rename replaces only the claim,
// never a file of anyone else's. The claim stays open meanwhile, so that
// even a driver that numbers files as it meets them (FUSE) cannot give its
// number to another. A failed rename removes the claim again.
int PlaceOverClaim(int oldDir, const char* oldName, int newDir, const char* newName) {
    UniqueFd claim(sys::OpenAt(newDir, newName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kClaimMode));
    if (!claim.Valid())
        return errno;
    struct stat mine;
    if (sys::Fstat(claim.Get(), &mine) != 0) {
        const int error = errno;
        struct stat now;
        if (sys::LstatAt(newDir, newName, &now) == 0 && S_ISREG(now.st_mode) && now.st_size == 0)
            sys::UnlinkAt(newDir, newName);
        return error;
    }
    // Replaced since it was made: the name is someone else's now.
    if (!StillClaimed(newDir, newName, mine))
        return EEXIST;
    struct stat before;
    const bool timed = sys::LstatAt(oldDir, oldName, &before) == 0;
    if (sys::RenameAt(oldDir, oldName, newDir, newName) != 0) {
        const int error = errno;
        if (StillClaimed(newDir, newName, mine))
            sys::UnlinkAt(newDir, newName);
        return error;
    }
    if (timed)
        KeepTimesAfterRename(newDir, newName, EntryOf(newName, before).times);
    return 0;
}

}  // namespace

Outcome RefusedAt(int todir, const std::string& name, EntryKind kind, int errnum) {
    Outcome outcome{errnum};
    // Only these say anything of the entry; the drive is asked only then.
    static constexpr int kAboutTheEntry[] = {EINVAL, ENOENT, EPERM, EILSEQ, ENOSYS, EOPNOTSUPP, ENAMETOOLONG, EFBIG};
    if (std::find(std::begin(kAboutTheEntry), std::end(kAboutTheEntry), errnum) != std::end(kAboutTheEntry))
        outcome.unfit = RefusalOf(RulesOf(todir), name, kind, errnum);
    return outcome;
}

int PlaceNoReplace(int oldDir, const char* oldName, int newDir, const char* newName) {
    if (sys::RenameNoReplaceAt(oldDir, oldName, newDir, newName) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // No no-replace rename here: a hard link never replaces either.
    if (sys::LinkAt(oldDir, oldName, newDir, newName) == 0) {
        if (sys::UnlinkAt(oldDir, oldName) != 0) {
            int error = errno;
            sys::UnlinkAt(newDir, newName);
            return error;
        }
        return 0;
    }
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // Neither (exFAT, FAT): the name is claimed by an exclusive create.
    return PlaceOverClaim(oldDir, oldName, newDir, newName);
}

Outcome PlaceAtFreeName(int todir, TempEntry& temp, const std::string& name, Clash clash, EntryKind kind) {
    Outcome placed;
    placed.error = ClaimName(
        name, clash,
        [&](const std::string& to) { return PlaceNoReplace(todir, temp.Name().c_str(), todir, to.c_str()); },
        placed.placed);
    if (placed.error != 0 && placed.error != EEXIST)
        return RefusedAt(todir, name, kind, placed.error);
    if (placed.error != 0)
        return placed;
    temp.Release();
    // Until the folder is flushed the new name may not survive a crash;
    // report that, so the caller keeps the source.
    if (sys::Fsync(todir) != 0)
        placed.error = errno;
    return placed;
}

Outcome CopyToTempAt(int fromfd, const Entry& seen, int todir, const std::string& finalName, TempEntry& temp,
                     const CopyProgress& progress, const volatile int* cancel, Entry* read) {
    struct stat st;
    if (sys::LstatAt(fromfd, seen.name.c_str(), &st) != 0)
        return Failed(errno);
    if (IdentityOf(st) != seen.id)
        return Changed();
    if (S_ISDIR(st.st_mode))
        return Failed(EISDIR);
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return Failed(EINVAL);
    if (int error = CheckNotSame(st, todir, finalName))
        return Failed(error);
    if (S_ISLNK(st.st_mode))
        return CopyLink(fromfd, seen, st, todir, temp, finalName, progress, read);
    return CopyRegular(fromfd, seen, finalName, temp, progress, cancel, read);
}

Outcome RemoveIfUnchangedAt(int dirfd, const Entry& read) {
    struct stat st;
    if (sys::LstatAt(dirfd, read.name.c_str(), &st) != 0)
        return Failed(errno);
    const bool same = IdentityOf(st) == read.id && static_cast<std::uint64_t>(st.st_size) == read.size &&
                      static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec ==
                          read.times.change_ns;
    if (!same)
        return Changed();
    if (sys::UnlinkAt(dirfd, read.name.c_str()) != 0)
        return Failed(errno);
    return Outcome{};
}

int SeeEntryAt(int dirfd, const std::string& name, Entry& seen) {
    struct stat st;
    if (sys::LstatAt(dirfd, name.c_str(), &st) != 0)
        return errno;
    seen = EntryOf(name, st);
    return 0;
}

Outcome CopyEntry(const OpenFolder& from, const Entry& seen, const OpenFolder& to, const std::string& name,
                  const CopyProgress& progress, const volatile int* cancel, Entry* read) {
    return ReturningOutcome([&]() -> Outcome {
        TempEntry temp(to.Fd());
        Outcome copied = CopyToTempAt(from.Fd(), seen, to.Fd(), name, temp, progress, cancel, read);
        if (!copied.Ok())
            return copied;
        return PlaceAtFreeName(to.Fd(), temp, name, Clash::NextFreeName, seen.kind);
    });
}

Outcome RemoveIfUnchanged(const OpenFolder& folder, const Entry& read) {
    return ReturningOutcome([&] { return RemoveIfUnchangedAt(folder.Fd(), read); });
}

Outcome RemoveCopiedSourceAt(int dirfd, const Entry& read, int copyDir, const std::string& copyName) {
    if (!QuickRulesOf(dirfd).stableIds) {
        // Same number, size and change time prove nothing on such a drive:
        // only the bytes do.
        Entry source, copy;
        if (int error = SeeEntryAt(dirfd, read.name, source))
            return Failed(error);
        if (int error = SeeEntryAt(copyDir, copyName, copy))
            return Failed(error);
        if (!SameContentsAt(dirfd, source, copyDir, copy))
            return Changed();
    }
    return RemoveIfUnchangedAt(dirfd, read);
}

Outcome RemoveCopiedSource(const OpenFolder& folder, const Entry& read, const OpenFolder& copyFolder,
                           const std::string& copyName) {
    return ReturningOutcome([&] { return RemoveCopiedSourceAt(folder.Fd(), read, copyFolder.Fd(), copyName); });
}

}  // namespace tidyfold::fs
