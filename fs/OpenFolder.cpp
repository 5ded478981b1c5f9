#include "fs/OpenFolder.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "fs/Fault.h"
#include "fs/ReadOpen.h"

namespace tidyfold::fs {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// Nothing below an open folder is ever reached through a link.
constexpr int kSubFolderFlags = kFolderFlags | O_NOFOLLOW;
// ".." of "/" is "/" again; a chain longer than this is no real tree.
constexpr int kMaxAncestors = 4096;

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

EntryKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISLNK(mode))
        return EntryKind::Link;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    return EntryKind::Other;
}

EntryKind KindOfType(unsigned char type) {
    switch (type) {
        case DT_REG:
            return EntryKind::File;
        case DT_LNK:
            return EntryKind::Link;
        case DT_DIR:
            return EntryKind::Folder;
        default:
            return EntryKind::Other;
    }
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Adds the entry name of the folder fd to entries, unless it vanished.
void AddEntry(int fd, const char* name, unsigned char type, std::vector<Entry>& entries) {
    struct stat st;
    if (sys::LstatAt(fd, name, &st) == 0) {
        entries.push_back(EntryOf(name, st));
        return;
    }
    if (errno == ENOENT)
        return;
    Entry unknown;
    unknown.name = name;
    unknown.kind = KindOfType(type);
    unknown.error = errno;
    entries.push_back(std::move(unknown));
}

}  // namespace

Identity IdentityOf(const struct stat& st) {
    return Identity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

Entry EntryOf(std::string name, const struct stat& st) {
    Entry entry;
    entry.name = std::move(name);
    entry.kind = KindOfMode(st.st_mode);
    entry.id = IdentityOf(st);
    entry.size = static_cast<std::uint64_t>(st.st_size);
    entry.times = FileTimes{Nanoseconds(st.st_atim), Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
    entry.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
    return entry;
}

InputFile::InputFile(UniqueFd fd, Entry opened, std::string path)
    : fd_(std::move(fd)), opened_(std::move(opened)), path_(std::move(path)) {}

std::size_t InputFile::Read(void* buffer, std::size_t size) {
    for (;;) {
        ssize_t got = sys::Read(fd_.Get(), buffer, size);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            ThrowErrno("cannot read", path_);
    }
}

OpenFolder::OpenFolder(UniqueFd fd, Identity id, std::string path)
    : fd_(std::move(fd)), id_(id), path_(std::move(path)) {}

OpenFolder OpenFolder::FromFd(UniqueFd fd, std::string path) {
    struct stat st;
    if (sys::Fstat(fd.Get(), &st) != 0)
        ThrowErrno("cannot open folder", path);
    return OpenFolder(std::move(fd), IdentityOf(st), std::move(path));
}

OpenFolder OpenFolder::Open(const std::string& path) {
    std::optional<OpenFolder> folder = OpenIfPresent(path);
    if (!folder)
        ThrowErrno(ENOENT, "cannot open folder", path);
    return std::move(*folder);
}

std::optional<OpenFolder> OpenFolder::OpenIfPresent(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    UniqueFd fd(sys::OpenAt(AT_FDCWD, path.c_str(), kFolderFlags));
    if (!fd.Valid()) {
        if (errno == ENOENT)
            return std::nullopt;
        ThrowErrno("cannot open folder", path);
    }
    return FromFd(std::move(fd), StripTrailingSlashes(path));
}

OpenFolder OpenFolder::OpenNoFollow(const std::string& path) {
    const std::string whole = StripTrailingSlashes(path);
    UniqueFd fd(sys::OpenAt(AT_FDCWD, whole.c_str(), kSubFolderFlags));
    if (!fd.Valid())
        ThrowErrno("cannot open folder", path);
    return FromFd(std::move(fd), whole);
}

std::vector<Entry> OpenFolder::List() const {
    std::vector<Entry> entries;
    alignas(dirent64) char buffer[32 * 1024];
    // A folder just opened reads from its first entry already; only a
    // second listing rewinds.
    for (bool rewind = listed_;; rewind = false) {
        listed_ = true;
        ssize_t got = sys::ReadDirChunk(fd_.Get(), buffer, sizeof buffer, rewind);
        if (got < 0)
            ThrowErrno("cannot list folder", path_);
        if (got == 0)
            return entries;
        for (std::size_t offset = 0; offset < static_cast<std::size_t>(got);) {
            const auto* record = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += record->d_reclen;
            if (!IsDotOrDotDot(record->d_name))
                AddEntry(fd_.Get(), record->d_name, record->d_type, entries);
        }
    }
}

std::optional<Entry> OpenFolder::Stat(const std::string& name) const {
    struct stat st;
    if (sys::LstatAt(fd_.Get(), name.c_str(), &st) == 0)
        return EntryOf(name, st);
    if (errno == ENOENT)
        return std::nullopt;
    ThrowErrno("cannot read the details of", JoinPath(path_, name));
}

std::optional<OpenFolder> OpenFolder::OpenListed(const Entry& listed) const {
    const std::string path = JoinPath(path_, listed.name);
    fault::BeforeDescent(path);
    UniqueFd fd(sys::OpenAt(fd_.Get(), listed.name.c_str(), kSubFolderFlags));
    if (!fd.Valid()) {
        // Gone, or a link or a file took its name: not the folder listed.
        if (errno == ENOENT || errno == ELOOP || errno == ENOTDIR)
            return std::nullopt;
        ThrowErrno("cannot open folder", path);
    }
    OpenFolder folder = FromFd(std::move(fd), path);
    // Another folder renamed into its place is not the one listed either.
    if (listed.error == 0 && folder.Id() != listed.id)
        return std::nullopt;
    return folder;
}

OpenFolder OpenFolder::OpenSub(const std::string& name) const {
    const std::string path = JoinPath(path_, name);
    UniqueFd fd(sys::OpenAt(fd_.Get(), name.c_str(), kSubFolderFlags));
    if (!fd.Valid())
        ThrowErrno("cannot open folder", path);
    return FromFd(std::move(fd), path);
}

std::optional<OpenFolder> OpenFolder::OpenSubIfFolder(const std::string& name) const {
    UniqueFd fd(sys::OpenAt(fd_.Get(), name.c_str(), kSubFolderFlags));
    if (!fd.Valid()) {
        if (errno == ENOENT || errno == ELOOP || errno == ENOTDIR)
            return std::nullopt;
        ThrowErrno("cannot open folder", JoinPath(path_, name));
    }
    return FromFd(std::move(fd), JoinPath(path_, name));
}

OpenFolder OpenFolder::Parent() const {
    const std::string path = ParentPath(path_).empty() ? path_ : ParentPath(path_);
    UniqueFd fd(sys::OpenAt(fd_.Get(), "..", kFolderFlags));
    if (!fd.Valid())
        ThrowErrno("cannot open the folder above", path_);
    return FromFd(std::move(fd), path);
}

std::vector<Identity> OpenFolder::SelfAndAncestors() const {
    std::vector<Identity> ids{id_};
    OpenFolder current = Parent();
    for (int step = 0; step < kMaxAncestors && current.Id() != ids.back(); ++step) {
        ids.push_back(current.Id());
        current = current.Parent();
    }
    return ids;
}

InputFile OpenFolder::OpenForReading(const std::string& name) const {
    const std::string path = JoinPath(path_, name);
    UniqueFd fd(OpenToRead(fd_.Get(), name));
    if (!fd.Valid())
        ThrowErrno("cannot open", path);
    struct stat st;
    if (sys::Fstat(fd.Get(), &st) != 0)
        ThrowErrno("cannot read the details of", path);
    if (!S_ISREG(st.st_mode))
        ThrowErrno(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, "cannot open", path);
    return InputFile(std::move(fd), EntryOf(name, st), path);
}

}  // namespace tidyfold::fs
