#include "fs/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gio/gunixmounts.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <ctime>
#include <optional>

#include "base/Error.h"
#include "fs/Copy.h"
#include "fs/FreeName.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";

struct TrashFolders {
    std::string path;
    OpenFolder files;
    OpenFolder info;
};

// The sub-folder name of parent, made (for this user alone) when missing;
// never reached through a link. Throws.
OpenFolder EnsureSub(const OpenFolder& parent, const std::string& name) {
    if (sys::MkdirAt(parent.Fd(), name.c_str(), 0700) != 0 && errno != EEXIST)
        ThrowErrno("cannot create folder", JoinPath(parent.Path(), name));
    return parent.OpenSub(name);
}

bool OwnedByMe(const OpenFolder& folder) {
    struct stat st;
    return sys::Fstat(folder.Fd(), &st) == 0 && st.st_uid == geteuid();
}

std::optional<TrashFolders> Inside(OpenFolder trash, std::uint64_t device) {
    if (trash.Id().device != device)
        return std::nullopt;
    OpenFolder files = EnsureSub(trash, "files");
    OpenFolder info = EnsureSub(trash, "info");
    return TrashFolders{trash.Path(), std::move(files), std::move(info)};
}

// The home Trash, when it is (or would be) on device: the nearest folder of
// its path that exists tells, before anything is made.
std::optional<TrashFolders> HomeTrash(const std::string& homeTrash, std::uint64_t device) {
    if (homeTrash.empty() || homeTrash.front() != '/')
        return std::nullopt;
    std::vector<std::string> missing;
    std::string path = StripTrailingSlashes(homeTrash);
    std::optional<OpenFolder> existing;
    while (!(existing = OpenFolder::OpenIfPresent(path))) {
        const SplitPath split = Split(path);
        missing.push_back(split.name);
        path = split.folder.empty() ? "/" : split.folder;
    }
    if (existing->Id().device != device)
        return std::nullopt;
    for (auto name = missing.rbegin(); name != missing.rend(); ++name)
        existing = EnsureSub(*existing, *name);
    return Inside(std::move(*existing), device);
}

// The highest folder above from (from itself included) on the same file
// system: where a removable drive keeps its Trash.
std::optional<OpenFolder> TopFolder(const OpenFolder& from) {
    OpenFolder current = from.Parent();
    if (current.Id() == from.Id() || current.Id().device != from.Id().device) {
        // from is the top itself: reached again by its path, and used only
        // while that still leads to it.
        OpenFolder again = OpenFolder::Open(from.Path());
        if (again.Id() != from.Id())
            return std::nullopt;
        return again;
    }
    for (;;) {
        OpenFolder parent = current.Parent();
        if (parent.Id() == current.Id() || parent.Id().device != current.Id().device)
            return current;
        current = std::move(parent);
    }
}

bool HasOption(const char* options, const char* option) {
    return options != nullptr && ("," + std::string(options) + ",").find("," + std::string(option) + ",") !=
                                     std::string::npos;
}

// Whether desktop file managers keep a Trash on the drive whose top folder
// is top, as GLib judges it (they all trash through GIO): never on a
// system-internal mount (tmpfs, /boot, /var, a bind mount ...) nor on a
// folder that is no mount at all (a btrfs subvolume), unless the mount's
// options say x-gvfs-trash; never with x-gvfs-notrash. A file there would
// go into a Trash that no file manager shows.
bool JudgedByGlib(const OpenFolder& top) {
    std::string path;
    const std::string self = "/proc/self/fd/" + std::to_string(top.Fd());
    if (ReadLinkTarget(AT_FDCWD, self.c_str(), 0, path) != 0 || path.empty() || path.front() != '/')
        return false;
    GUnixMountEntry* mount = g_unix_mount_at(path.c_str(), nullptr);
    if (mount == nullptr)
        return false;
    const char* options = g_unix_mount_get_options(mount);
    bool keep = !g_unix_mount_is_system_internal(mount);
    if (HasOption(options, "x-gvfs-notrash"))
        keep = false;
    else if (HasOption(options, "x-gvfs-trash"))
        keep = true;
    g_unix_mount_free(mount);
    return keep;
}

// GLib reads the whole mount table for each answer; a pass asks for every
// file it trashes, always of the same few drives. A mount's top folder has
// an identity of its own (another file system mounted there has another
// device), so an answer is kept for it.
bool FileManagersKeepTrashOn(const OpenFolder& top) {
    static std::mutex mutex;
    static std::map<std::pair<std::uint64_t, std::uint64_t>, bool> judged;
    const std::pair<std::uint64_t, std::uint64_t> key{top.Id().device, top.Id().inode};
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (const auto found = judged.find(key); found != judged.end())
            return found->second;
    }
    const bool keep = JudgedByGlib(top);
    const std::lock_guard<std::mutex> lock(mutex);
    judged[key] = keep;
    return keep;
}

std::optional<TrashFolders> SharedTrash(const OpenFolder& top, std::uint64_t device) {
    const std::optional<Entry> shared = top.Stat(".Trash");
    // Without the sticky bit, or as a link, anyone could swap our folder in
    // it for another, so file managers skip such a folder and so do we.
    if (!shared || shared->kind != EntryKind::Folder || (shared->mode & S_ISVTX) == 0)
        return std::nullopt;
    OpenFolder mine = EnsureSub(top.OpenSub(".Trash"), std::to_string(geteuid()));
    if (!OwnedByMe(mine))
        return std::nullopt;
    return Inside(std::move(mine), device);
}

std::optional<TrashFolders> OwnTrash(const OpenFolder& top, std::uint64_t device) {
    OpenFolder mine = EnsureSub(top, ".Trash-" + std::to_string(geteuid()));
    if (!OwnedByMe(mine))
        return std::nullopt;
    return Inside(std::move(mine), device);
}

// A Trash on the top folder of the file's file system; nothing when neither
// kind can be used (a read-only drive, no permission) or file managers keep
// none there (systemMount).
std::optional<TrashFolders> TopTrash(const OpenFolder& from, std::uint64_t device, bool& systemMount) {
    try {
        const std::optional<OpenFolder> top = TopFolder(from);
        if (!top)
            return std::nullopt;
        if (!FileManagersKeepTrashOn(*top)) {
            systemMount = true;
            return std::nullopt;
        }
        try {
            if (auto shared = SharedTrash(*top, device))
                return shared;
        } catch (const Error&) {
            // Not usable: the user's own one may still be.
        }
        return OwnTrash(*top, device);
    } catch (const Error&) {
        return std::nullopt;
    }
}

// The n-th name tried for name in the Trash, short enough for its info
// file's name.
std::string TrashName(const std::string& name, int n) {
    return NumberedName(name, n, kNameMax - kInfoSuffix.size());
}

bool Unchanged(const Entry& seen, const std::optional<Entry>& now) {
    return now && now->id == seen.id && now->size == seen.size && now->times.change_ns == seen.times.change_ns;
}

std::string InfoText(const std::string& originalPath, const std::string& deletionDate) {
    return "[Trash Info]\nPath=" + TrashInfoPath(originalPath) + "\nDeletionDate=" + deletionDate + "\n";
}

// Writes and flushes text into the new file fd. Returns 0 or an errno.
int WriteAll(UniqueFd& fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = sys::Write(fd.Get(), text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return wrote < 0 ? errno : EIO;
        done += static_cast<std::size_t>(wrote);
    }
    if (sys::Fsync(fd.Get()) != 0)
        return errno;
    return fd.CloseChecked();
}

enum class Step { Done, NameTaken, Failed };

// An info file that goes again unless its file made it into the Trash,
// however the try ends.
class InfoFile {
public:
    InfoFile(const OpenFolder& folder, std::string name) : folder_(folder), name_(std::move(name)) {}
    ~InfoFile() {
        if (!kept_)
            sys::UnlinkAt(folder_.Fd(), name_.c_str());
    }
    InfoFile(const InfoFile&) = delete;
    InfoFile& operator=(const InfoFile&) = delete;
    void Keep() { kept_ = true; }

private:
    const OpenFolder& folder_;
    std::string name_;
    bool kept_ = false;
};

// The info file written and flushed, then the rename while the file is
// still the one seen. 0, or an errno (EEXIST: the name was taken meanwhile).
int PlaceWithInfo(const OpenFolder& from, const Entry& seen, const TrashFolders& trash, const std::string& trashName,
                  UniqueFd& fd, const std::string& info, TrashOutcome& outcome) {
    if (int error = WriteAll(fd, info))
        return error;
    if (sys::Fsync(trash.info.Fd()) != 0)
        return errno;
    if (!Unchanged(seen, from.Stat(seen.name))) {
        outcome.changed = true;
        return 0;
    }
    return PlaceNoReplace(from.Fd(), seen.name.c_str(), trash.files.Fd(), trashName.c_str());
}

// One try under trashName. Throws on failures outside the transfer itself.
Step TryName(const OpenFolder& from, const Entry& seen, const TrashFolders& trash, const std::string& trashName,
             const std::string& info, TrashOutcome& outcome) {
    const std::string infoName = trashName + std::string(kInfoSuffix);
    if (trash.files.Stat(trashName))
        return Step::NameTaken;  // a file without its info: never replaced
    UniqueFd fd(sys::OpenAt(trash.info.Fd(), infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            0600));
    if (!fd.Valid() && errno == EEXIST)
        return Step::NameTaken;
    if (!fd.Valid()) {
        outcome.error = errno;
        return Step::Failed;
    }
    InfoFile infoFile(trash.info, infoName);
    const int error = PlaceWithInfo(from, seen, trash, trashName, fd, info, outcome);
    if (error == EEXIST)
        return Step::NameTaken;  // taken between the look and the rename
    if (error != 0 || outcome.changed) {
        outcome.error = error;
        return Step::Failed;
    }
    infoFile.Keep();
    outcome.trashedAs = JoinPath(trash.files.Path(), trashName);
    return Step::Done;
}

std::optional<TrashFolders> TrashFor(const OpenFolder& from, std::uint64_t device, const std::string& homeTrash,
                                     bool& systemMount) {
    if (auto home = HomeTrash(homeTrash, device))
        return home;
    return TopTrash(from, device, systemMount);
}

}  // namespace

TrashOutcome TrashEntry(const OpenFolder& from, const Entry& seen, const std::string& homeTrash,
                        const std::string& originalPath, const std::string& deletionDate) {
    TrashOutcome outcome;
    try {
        if (!Unchanged(seen, from.Stat(seen.name))) {
            outcome.changed = true;
            return outcome;
        }
        const std::optional<TrashFolders> trash = TrashFor(from, seen.id.device, homeTrash, outcome.systemMount);
        if (!trash) {
            outcome.noTrash = true;
            return outcome;
        }
        const std::string info = InfoText(originalPath, deletionDate);
        for (int n = 1; n <= kMaxNumber; ++n) {
            const Step step = TryName(from, seen, *trash, TrashName(seen.name, n), info, outcome);
            if (step != Step::NameTaken) {
                // A rename that crossed file systems after all (a bind mount)
                // found no Trash on the file's own.
                if (outcome.error == EXDEV)
                    outcome = TrashOutcome{0, false, true, false, {}};
                return outcome;
            }
        }
        outcome.error = EEXIST;
    } catch (const Error& error) {
        outcome.error = error.Number();
    }
    return outcome;
}

std::string TrashDate(std::int64_t unixSeconds) {
    const auto seconds = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

std::string TrashInfoPath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        }
    }
    return out;
}

}  // namespace tidyfold::fs
