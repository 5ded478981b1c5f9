// Making again empty folders and files a pass removed, and folders it
// removed beside the archives that hold them.

#include "fs/Remake.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "base/Error.h"
#include "fs/Handles.h"
#include "fs/Remove.h"
#include "fs/Temp.h"

namespace tidyfold::fs {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kAttempts = 100;
constexpr std::size_t kChunk = 64 * 1024;

timespec Spec(std::int64_t ns) {
    timespec spec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    if (spec.tv_nsec < 0) {
        spec.tv_nsec += 1'000'000'000;
        --spec.tv_sec;
    }
    return spec;
}

// The names of a relative path: "a/b/c" gives {"a", "b", "c"}.
std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        parts.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos)
            return parts;
        start = slash + 1;
    }
}

// Folders made below one root, the last path's kept open: an archive lists
// a folder's entries together, so each folder is opened about once, and no
// more stay open than a path is deep.
class Chain {
public:
    explicit Chain(const OpenFolder& root) : root_(root) {}

    // The folder of names (each made where missing); nothing when one of
    // them is not a real folder (a link or a file the archive put there).
    const OpenFolder* Make(const std::vector<std::string>& names) {
        std::size_t kept = 0;
        while (kept < open_.size() && kept < names.size() && open_[kept].first == names[kept])
            ++kept;
        open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(kept), open_.end());
        for (std::size_t i = kept; i < names.size(); ++i) {
            std::optional<OpenFolder> sub = Top().MakeSub(names[i], Flush::No);
            if (!sub)
                return nullptr;
            open_.emplace_back(names[i], std::move(sub));
        }
        return &Top();
    }

private:
    const OpenFolder& Top() const { return open_.empty() ? root_ : *open_.back().second; }

    const OpenFolder& root_;
    std::vector<std::pair<std::string, std::optional<OpenFolder>>> open_;
};

// Makes way in folder for an entry of the same path that comes later in the
// archive (it replaces the earlier one, as unpacking does): a file or link
// of our own making goes. False when a folder has the name.
bool MakeWay(const OpenFolder& folder, const std::string& name) {
    const std::optional<Entry> there = folder.Stat(name);
    if (!there)
        return true;
    if (there->kind == EntryKind::Folder)
        return false;
    if (sys::UnlinkAt(folder.Fd(), name.c_str()) != 0 && errno != ENOENT)
        ThrowErrno("cannot replace", JoinPath(folder.Path(), name));
    return true;
}

void WriteFile(const OpenFolder& folder, const std::string& name, const ArchiveEntry& entry, ArchiveReader& reader) {
    const std::string path = JoinPath(folder.Path(), name);
    UniqueFd fd(sys::OpenAt(folder.Fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.Valid())
        ThrowErrno("cannot create file", path);
    std::vector<char> buffer(kChunk);
    while (const std::size_t n = reader.Read(buffer.data(), buffer.size()))
        if (const int error = WriteAll(fd.Get(), buffer.data(), n))
            ThrowErrno(error, "cannot write", path);
    // No set-user or set-group bit comes out of an archive.
    if (sys::Fchmod(fd.Get(), entry.mode == 0 ? 0644 : (entry.mode & 0777)) != 0)
        ThrowErrno("cannot set the permissions of", path);
    if (entry.modify_ns) {
        const timespec times[2] = {Spec(*entry.modify_ns), Spec(*entry.modify_ns)};
        if (sys::Futimens(fd.Get(), times) != 0)
            ThrowErrno("cannot set the times of", path);
    }
}

// A folder entry of the archive: its mode and time are given once every
// entry is in, since what is made in it moves its time.
struct FolderEntry {
    std::vector<std::string> names;
    std::uint32_t mode = 0;
    std::optional<std::int64_t> modify_ns;
};

void FinishFolderEntry(Chain& chain, const FolderEntry& folder) {
    const std::vector<std::string> above(folder.names.begin(), folder.names.end() - 1);
    const OpenFolder* parent = chain.Make(above);
    const std::optional<Entry> entry = parent != nullptr ? parent->Stat(folder.names.back()) : std::nullopt;
    if (!entry || entry->kind != EntryKind::Folder)
        return;
    const std::uint32_t mode = folder.mode == 0 ? 0755 : (folder.mode & 0777);
    FileTimes times;
    times.access_ns = times.modify_ns = folder.modify_ns.value_or(entry->times.modify_ns);
    FinishFolder(*parent, folder.names.back(), entry->id, mode, times);
}

// Unpacks every entry of reader below prefix into root.
void UnpackInto(const OpenFolder& root, ArchiveReader& reader, const std::string& prefix) {
    const std::string top = prefix.empty() ? std::string() : prefix.substr(0, prefix.size() - 1);
    Chain chain(root);
    std::vector<FolderEntry> folders;
    ArchiveEntry entry;
    while (reader.Next(entry)) {
        std::string path = NormalArchivePath(entry.path);
        if (!prefix.empty()) {
            if (path == top || !path.starts_with(prefix))
                continue;
            path.erase(0, prefix.size());
        }
        if (path.empty())
            continue;
        std::vector<std::string> names = Parts(path);
        bool climbs = false;
        for (const std::string& name : names)
            climbs = climbs || name == "..";
        if (climbs)
            continue;
        const std::string name = names.back();
        names.pop_back();
        const OpenFolder* parent = chain.Make(names);
        if (parent == nullptr)
            continue;
        switch (entry.kind) {
            case ArchiveEntryKind::Folder:
                if (parent->MakeSub(name, Flush::No)) {
                    names.push_back(name);
                    folders.push_back({std::move(names), entry.mode, entry.modify_ns});
                }
                break;
            case ArchiveEntryKind::File:
                if (MakeWay(*parent, name))
                    WriteFile(*parent, name, entry, reader);
                break;
            case ArchiveEntryKind::Link:
                if (MakeWay(*parent, name) && sys::SymlinkAt(entry.linkTarget.c_str(), parent->Fd(), name.c_str()) != 0)
                    ThrowErrno("cannot create link", JoinPath(parent->Path(), name));
                break;
            case ArchiveEntryKind::HardLink:
            case ArchiveEntryKind::Other:
                break;
        }
    }
    // Deepest first: a folder's time is given after its sub-folders'.
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        FinishFolderEntry(chain, *folder);
}

// A temporary folder made for an unpacking, removed with what it holds
// unless it was put in place.
class TempFolder {
public:
    TempFolder(const OpenFolder& parent, const std::string& finalName) : parent_(parent) {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            std::string name = NewTempNameFor(finalName);
            if (sys::MkdirAt(parent.Fd(), name.c_str(), 0700) == 0) {
                name_ = std::move(name);
                break;
            }
            if (errno != EEXIST)
                ThrowErrno("cannot create folder", JoinPath(parent.Path(), name));
        }
        if (name_.empty())
            ThrowErrno(EEXIST, "cannot create folder", JoinPath(parent.Path(), finalName));
        made_ = parent.Stat(name_);
        if (!made_ || made_->kind != EntryKind::Folder)
            ThrowErrno(ENOENT, "cannot open folder", JoinPath(parent.Path(), name_));
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        if (name_.empty())
            return;
        try {
            parent_.RemoveListedTree(*made_);
        } catch (const Error&) {
            // What could not be removed is left; recovery looks for it.
        }
    }

    const std::string& Name() const { return name_; }
    const Entry& Made() const { return *made_; }
    void Release() { name_.clear(); }

private:
    const OpenFolder& parent_;
    std::string name_;
    std::optional<Entry> made_;
};

}  // namespace

int MakeEmptyFolder(const OpenFolder& folder, const std::string& name) {
    return sys::MkdirAt(folder.Fd(), name.c_str(), 0700) == 0 ? 0 : errno;
}

bool FinishFolder(const OpenFolder& folder, const std::string& name, const Identity& id, std::uint32_t mode,
                  const FileTimes& times) {
    const std::string path = JoinPath(folder.Path(), name);
    UniqueFd fd(sys::OpenAt(folder.Fd(), name.c_str(), kFolderFlags));
    if (!fd.Valid()) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)
            return false;
        ThrowErrno("cannot open folder", path);
    }
    struct stat st;
    if (sys::Fstat(fd.Get(), &st) != 0)
        ThrowErrno("cannot read the details of", path);
    if (IdentityOf(st) != id)
        return false;
    if (sys::Fchmod(fd.Get(), mode & 07777) != 0)
        ThrowErrno("cannot set the permissions of", path);
    const timespec spec[2] = {Spec(times.access_ns), Spec(times.modify_ns)};
    if (sys::Futimens(fd.Get(), spec) != 0)
        ThrowErrno("cannot set the times of", path);
    return true;
}

int MakeEmptyFile(const OpenFolder& folder, const std::string& name, std::uint32_t mode, const FileTimes& times) {
    UniqueFd fd(sys::OpenAt(folder.Fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.Valid())
        return errno;
    const timespec spec[2] = {Spec(times.access_ns), Spec(times.modify_ns)};
    if (sys::Fchmod(fd.Get(), mode & 07777) != 0 || sys::Futimens(fd.Get(), spec) != 0) {
        const int error = errno;
        // Only the file just made, which holds nothing.
        sys::UnlinkAt(folder.Fd(), name.c_str());
        return error;
    }
    return 0;
}

std::optional<Identity> UnpackArchive(const OpenFolder& folder, const std::string& archiveName,
                                      const std::string& prefix, const std::string& name, std::uint32_t mode,
                                      const FileTimes& times, ArchiveReader::Pacer pacer) {
    ArchiveReader reader(folder.Fd(), archiveName, JoinPath(folder.Path(), archiveName), std::move(pacer));
    TempFolder temp(folder, name);
    {
        const OpenFolder root = folder.OpenSub(temp.Name());
        if (root.Id() != temp.Made().id)
            ThrowErrno(ENOENT, "cannot open folder", JoinPath(folder.Path(), temp.Name()));
        UnpackInto(root, reader, prefix);
    }
    if (!FinishFolder(folder, temp.Name(), temp.Made().id, mode, times))
        ThrowErrno(ENOENT, "cannot open folder", JoinPath(folder.Path(), temp.Name()));
    if (sys::RenameNoReplaceAt(folder.Fd(), temp.Name().c_str(), folder.Fd(), name.c_str()) != 0) {
        if (errno == EEXIST)
            return std::nullopt;
        ThrowErrno("cannot rename", JoinPath(folder.Path(), temp.Name()));
    }
    temp.Release();
    return temp.Made().id;
}

std::size_t RemoveUnpackLeftovers(const OpenFolder& folder, const std::set<std::string>& finalNames) {
    std::set<std::string> stems;
    for (const std::string& name : finalNames)
        stems.insert(TempStemOf(name));
    std::size_t removed = 0;
    for (const Entry& entry : folder.List()) {
        if (entry.kind != EntryKind::Folder)
            continue;
        const std::optional<std::string> stem = TempNameStem(entry.name);
        if (stem && stems.count(*stem) != 0 && folder.RemoveListedTree(entry))
            ++removed;
    }
    return removed;
}

}  // namespace tidyfold::fs
