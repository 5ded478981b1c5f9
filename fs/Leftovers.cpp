#include "fs/Leftovers.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

#include "fs/Drive.h"
#include "fs/FreeName.h"
#include "fs/Handles.h"
#include "fs/Temp.h"

namespace tidyfold::fs {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

// Reads until size bytes or the end; short only at the end. 0 or an errno.
int ReadFull(int fd, char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        const ssize_t now = sys::Read(fd, buffer + got, size - got);
        if (now < 0 && errno == EINTR)
            continue;
        if (now < 0)
            return errno;
        if (now == 0)
            break;
        got += static_cast<std::size_t>(now);
    }
    return 0;
}

// The regular file listed as entry in dirfd, opened for reading; invalid
// when the name leads to anything else now.
UniqueFd OpenListed(int dirfd, const Entry& entry, const char* what) {
    UniqueFd fd(sys::OpenAt(dirfd, entry.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid() && errno != ELOOP && errno != ENOENT)
        ThrowErrno(what, entry.name);
    struct stat st;
    if (fd.Valid() && sys::Fstat(fd.Get(), &st) != 0)
        ThrowErrno(what, entry.name);
    if (fd.Valid() && (!S_ISREG(st.st_mode) || IdentityOf(st) != entry.id || static_cast<std::uint64_t>(st.st_size) != entry.size))
        return UniqueFd();
    return fd;
}

bool SameFileContents(int aDir, const Entry& a, int bDir, const Entry& b) {
    if (a.size != b.size)
        return false;
    // Only the files listed: a name that leads elsewhere now is not them.
    UniqueFd first = OpenListed(aDir, a, "cannot read");
    UniqueFd second = OpenListed(bDir, b, "cannot read");
    if (!first.Valid() || !second.Valid())
        return false;
    std::vector<char> one(kChunk), two(kChunk);
    for (;;) {
        std::size_t got = 0, other = 0;
        if (int error = ReadFull(first.Get(), one.data(), kChunk, got))
            ThrowErrno(error, "cannot read", a.name);
        if (int error = ReadFull(second.Get(), two.data(), kChunk, other))
            ThrowErrno(error, "cannot read", b.name);
        if (other != got || std::memcmp(one.data(), two.data(), got) != 0)
            return false;
        if (got < kChunk)
            return true;
    }
}

std::string LinkText(int dirfd, const Entry& link) {
    std::string text;
    if (int error = ReadLinkTarget(dirfd, link.name.c_str(), static_cast<std::size_t>(link.size), text))
        ThrowErrno(error, "cannot read the link", link.name);
    return text;
}

}  // namespace

bool SameContentsAt(int aDir, const Entry& a, int bDir, const Entry& b) {
    // Two names of one file are one file: removing either loses both.
    if (a.kind != b.kind || a.error != 0 || b.error != 0 || a.id == b.id)
        return false;
    if (a.kind == EntryKind::File)
        return SameFileContents(aDir, a, bDir, b);
    if (a.kind == EntryKind::Link)
        return LinkText(aDir, a) == LinkText(bDir, b);
    return false;
}

bool SameContents(const OpenFolder& aFolder, const Entry& a, const OpenFolder& bFolder, const Entry& b) {
    return SameContentsAt(aFolder.Fd(), a, bFolder.Fd(), b);
}

bool ClaimBeside(const OpenFolder& folder, const Entry& entry) {
    if (entry.kind != EntryKind::File || entry.size != 0)
        return false;
    const std::string stem = TempStemOf(entry.name);
    for (const Entry& other : folder.List()) {
        const std::optional<std::string> found = TempNameStem(other.name);
        if (found && *found == stem)
            return true;
    }
    return false;
}

namespace {

// An empty file made since the pass began, with the claim's mode where the
// drive keeps modes. An earlier pass's empty file has its original's times
// (FAT and exFAT report them as the change time too), never the pass's.
bool LooksLikeClaim(const Entry& entry, std::int64_t since, bool modes) {
    return entry.kind == EntryKind::File && entry.size == 0 && entry.times.change_ns >= since &&
           (!modes || (entry.mode & 07777) == 0600);
}

// Removes the claims made for finalName since since: under the name and its
// numbered names, as far as they are taken.
std::size_t RemoveClaims(const OpenFolder& folder, const std::string& finalName, std::int64_t since) {
    const bool modes = QuickRulesOf(folder.Fd()).family == DriveFamily::Posix;
    std::size_t removed = 0;
    for (int n = 1; n <= kMaxNumber; ++n) {
        const std::string name = n == 1 ? finalName : NumberedName(finalName, n);
        const std::optional<Entry> entry = folder.Stat(name);
        if (!entry)
            break;
        if (!LooksLikeClaim(*entry, since, modes))
            continue;
        if (sys::UnlinkAt(folder.Fd(), name.c_str()) == 0)
            ++removed;
        else if (errno != ENOENT)
            ThrowErrno("cannot remove the claim", JoinPath(folder.Path(), name));
    }
    return removed;
}

}  // namespace

std::size_t RemoveTemporaries(const OpenFolder& folder, const std::set<std::string>& finalNames,
                              std::int64_t claimsSince) {
    std::map<std::string, std::string> byStem;
    for (const std::string& name : finalNames)
        byStem.emplace(TempStemOf(name), name);
    // The final names whose copies left a temporary file: only they may have
    // left a claim.
    std::set<std::string> written;
    std::size_t removed = 0;
    for (const Entry& entry : folder.List()) {
        // Only what a copy makes under a temporary name: a file or a link.
        if (entry.kind != EntryKind::File && entry.kind != EntryKind::Link)
            continue;
        const std::optional<std::string> stem = TempNameStem(entry.name);
        const auto final = stem ? byStem.find(*stem) : byStem.end();
        if (final == byStem.end())
            continue;
        written.insert(final->second);
        if (sys::UnlinkAt(folder.Fd(), entry.name.c_str()) == 0)
            ++removed;
        else if (errno != ENOENT)
            ThrowErrno("cannot remove the temporary file", JoinPath(folder.Path(), entry.name));
    }
    if (claimsSince != std::numeric_limits<std::int64_t>::max())
        for (const std::string& name : written)
            removed += RemoveClaims(folder, name, claimsSince);
    return removed;
}

}  // namespace tidyfold::fs
