// The changes an open folder makes to its own entries: each by name relative
// to the folder, each checked against what the caller saw, none through a
// link.

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "fs/Fault.h"
#include "fs/OpenFolder.h"
#include "fs/Remove.h"

namespace tidyfold::fs {

namespace {

constexpr int kSubFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool IsLinkAt(int dirfd, const std::string& name) {
    struct stat st;
    return sys::LstatAt(dirfd, name.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The entry name of dirfd now, when it still is the one listed; nothing
// when it is gone or something else has its name.
std::optional<struct stat> StillListed(int dirfd, const Entry& listed, const std::string& path) {
    struct stat st;
    if (sys::LstatAt(dirfd, listed.name.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        ThrowErrno("cannot read the details of", path);
    }
    if (IdentityOf(st) != listed.id)
        return std::nullopt;
    return st;
}

}  // namespace

std::optional<OpenFolder> OpenFolder::MakeSub(const std::string& name, Flush flush) const {
    const std::string path = JoinPath(path_, name);
    UniqueFd fd(sys::OpenAt(fd_.Get(), name.c_str(), kSubFolderFlags));
    if (!fd.Valid() && errno == ENOENT) {
        if (sys::MkdirAt(fd_.Get(), name.c_str(), 0777) == 0) {
            // Files copied into it lead to their originals being deleted: the
            // folder itself must survive a power loss first.
            if (flush == Flush::Yes && sys::Fsync(fd_.Get()) != 0)
                ThrowErrno("cannot create folder", path);
        } else if (errno != EEXIST) {
            ThrowErrno("cannot create folder", path);
        }
        fd = UniqueFd(sys::OpenAt(fd_.Get(), name.c_str(), kSubFolderFlags));
    }
    if (!fd.Valid()) {
        const int error = errno;
        if ((error == ELOOP || error == ENOTDIR) && IsLinkAt(fd_.Get(), name))
            return std::nullopt;
        ThrowErrno(error, "cannot open folder", path);
    }
    return FromFd(std::move(fd), path);
}

bool OpenFolder::MakeWritable(const Entry& now) const {
    if (now.kind == EntryKind::Link || (now.mode & S_IWUSR) != 0)
        return true;
    if (sys::FchmodNoFollowAt(fd_.Get(), now.name.c_str(), (now.mode & 07777) | S_IWUSR) == 0)
        return true;
    if (errno == ENOENT)
        return false;
    // It became a link since the stat: leave it alone, as any link.
    if (errno == EOPNOTSUPP)
        return true;
    ThrowErrno("cannot change the permissions of", JoinPath(path_, now.name));
}

bool OpenFolder::RemoveListedFile(const Entry& listed, Force force) const {
    const std::string path = JoinPath(path_, listed.name);
    const std::optional<struct stat> st = StillListed(fd_.Get(), listed, path);
    // Written to since it was listed (an empty file being filled, say): it
    // is no longer the file the caller judged.
    if (!st || S_ISDIR(st->st_mode) || EntryOf(listed.name, *st).times.change_ns != listed.times.change_ns ||
        static_cast<std::uint64_t>(st->st_size) != listed.size)
        return false;
    // Write-protected files are kept unless forced, as rm keeps them.
    if (force == Force::No && !S_ISLNK(st->st_mode) && (st->st_mode & S_IWUSR) == 0)
        ThrowErrno(EACCES, "cannot delete file", path);
    if (sys::UnlinkAt(fd_.Get(), listed.name.c_str()) == 0)
        return true;
    if (errno == ENOENT)
        return false;
    ThrowErrno("cannot delete file", path);
}

bool OpenFolder::RemoveEmptyFolder(const Entry& listed) const {
    const std::string path = JoinPath(path_, listed.name);
    const std::optional<struct stat> st = StillListed(fd_.Get(), listed, path);
    if (!st || !S_ISDIR(st->st_mode))
        return false;
    // Write-protected folders are kept unless forced, as rm keeps them.
    if ((st->st_mode & S_IWUSR) == 0)
        ThrowErrno(EACCES, "cannot remove folder", path);
    if (sys::RmdirAt(fd_.Get(), listed.name.c_str()) == 0)
        return true;
    // Something arrived in it, or it went: it is not an empty folder to remove.
    if (errno == ENOTEMPTY || errno == EEXIST || errno == ENOENT || errno == ENOTDIR)
        return false;
    ThrowErrno("cannot remove folder", path);
}

bool OpenFolder::RemoveListedTree(const Entry& listed) const {
    const std::string path = JoinPath(path_, listed.name);
    fault::BeforeDescent(path);
    return RemoveTreeAt(fd_.Get(), listed.name, path, &listed.id);
}

}  // namespace tidyfold::fs
