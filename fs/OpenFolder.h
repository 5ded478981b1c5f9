#pragma once

// Folders held open. A walk, a check or a removal that works through these
// never resolves a path twice: it opens a root once, lists it, and reaches
// everything below relative to the open folder, one name at a time, without
// ever following a symbolic link. "Same folder" is decided by device and
// inode, never by the text of a path.

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fs/FileSystem.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

// What the system knows an object by: its device and inode. Two paths name
// the same folder exactly when they lead to equal identities.
struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const Identity&) const = default;
};

enum class EntryKind {
    File,    // a regular file
    Link,    // a symbolic link, whatever it points to
    Folder,  // a real directory
    Other,   // a FIFO, a socket or a device
};

// One entry of a listing, with what one no-follow stat relative to its
// folder said of it.
struct Entry {
    std::string name;
    EntryKind kind = EntryKind::Other;
    Identity id;
    std::uint64_t size = 0;  // for a link, the length of its text
    FileTimes times;
    std::uint32_t mode = 0;  // permission bits
    // 0, or the errno of the stat when it failed (no search permission on
    // the folder): the kind then comes from the listing alone, and id, size,
    // times and mode are unknown.
    int error = 0;
};

// A regular file opened for reading, never through a link.
class InputFile {
public:
    // Reads up to size bytes; 0 at the end. Throws on failure.
    std::size_t Read(void* buffer, std::size_t size);
    // The file as it was when it was opened (name, identity, size, times).
    const Entry& Opened() const noexcept { return opened_; }
    const std::string& Path() const noexcept { return path_; }

private:
    friend class OpenFolder;
    InputFile(UniqueFd fd, Entry opened, std::string path);
    UniqueFd fd_;
    Entry opened_;
    std::string path_;
};

// Whether a new folder's entry is flushed to disk before anything goes on:
// needed where files put into it lead to their originals being deleted.
enum class Flush {
    No,   // the file system's journal keeps it in order with what follows
    Yes,  // fsync of the parent once the folder is made
};

class OpenFolder {
public:
    // Opens the folder at path, following links on the way: a root that the
    // user chose (the Desktop, the offload folder) may be reached through
    // one. Throws "cannot open folder" (ENOENT when missing).
    static OpenFolder Open(const std::string& path);
    // The same, but nothing when path does not exist.
    static std::optional<OpenFolder> OpenIfPresent(const std::string& path);
    // Opens the folder at path without following a link in its last
    // component (ENOTDIR or ELOOP for a link). Throws.
    static OpenFolder OpenNoFollow(const std::string& path);

    // The path it was reached by, for messages and events only: nothing is
    // ever opened by it again.
    const std::string& Path() const noexcept { return path_; }
    Identity Id() const noexcept { return id_; }

    // Every entry but "." and "..", in the system's order, each stat'ed once
    // relative to this folder. An entry that vanishes while it is listed is
    // left out. Throws when the folder cannot be read.
    std::vector<Entry> List() const;
    // What name is now; nothing when it does not exist. Throws on failure.
    std::optional<Entry> Stat(const std::string& name) const;

    // The sub-folder that a listing of this folder gave as listed, opened
    // without following a link; nothing when its name no longer leads to that
    // folder (gone, or replaced by a link, a file or another folder since it
    // was listed). Throws on any other failure (no permission, for example).
    std::optional<OpenFolder> OpenListed(const Entry& listed) const;
    // The sub-folder name, without following a link. Throws (ENOTDIR or
    // ELOOP when name is not a real folder).
    OpenFolder OpenSub(const std::string& name) const;
    // The sub-folder name, without following a link; nothing when name is
    // gone or is not a real folder (a link to one included). Throws on any
    // other failure.
    std::optional<OpenFolder> OpenSubIfFolder(const std::string& name) const;
    // The folder above, through "..", which is never a link; "/" for "/".
    OpenFolder Parent() const;
    // This folder's identity, then its parent's, and so on up to "/".
    std::vector<Identity> SelfAndAncestors() const;
    // Whether its file system is mounted noatime: reading a file there never
    // moves the file's access time. False when the system cannot say.
    bool KeepsNoAccessTimes() const;

    // The regular file name, opened for reading without following a link
    // and without waiting on a FIFO. Throws (ELOOP for a link, EINVAL for
    // anything but a regular file).
    InputFile OpenForReading(const std::string& name) const;

    // --- Changes, each relative to this folder and never through a link ---

    // The sub-folder name, made first when it is missing. Nothing when name
    // is a symbolic link: a link is never a way into a folder. Throws on any
    // other failure ("cannot create folder"; ENOTDIR when a file has the
    // name).
    std::optional<OpenFolder> MakeSub(const std::string& name, Flush flush) const;
    // Gives the owner write permission to the file now (an entry as just
    // stat'ed) unless it has it; never to a link (chmod would change its
    // target). False when it is gone. Throws.
    bool MakeWritable(const Entry& now) const;
    // Removes the file or link that a listing gave as listed, if its name
    // still leads to it, unchanged (same size and change time). Force::No
    // refuses a file whose owner-write bit is clear (EACCES). False when it
    // is gone, is something else now, or changed.
    bool RemoveListedFile(const Entry& listed, Force force) const;
    // Removes the sub-folder listed if its name still leads to it and it is
    // empty. A write-protected folder is refused (EACCES), as without force.
    // False when it is gone, is something else now, or is no longer empty.
    bool RemoveEmptyFolder(const Entry& listed) const;
    // Removes the sub-folder listed with everything in it (write-protected
    // entries too, links unlinked and never followed, never into another
    // file system), if its name still leads to it. False otherwise.
    bool RemoveListedTree(const Entry& listed) const;

    // The descriptor, for the file layer's own calls.
    int Fd() const noexcept { return fd_.Get(); }

private:
    OpenFolder(UniqueFd fd, Identity id, std::string path);
    static OpenFolder FromFd(UniqueFd fd, std::string path);

    UniqueFd fd_;
    Identity id_;
    std::string path_;
    mutable bool listed_ = false;  // the descriptor's position has moved
};

// The identity in a stat result.
Identity IdentityOf(const struct stat& st);
// An entry named name from a stat result.
Entry EntryOf(std::string name, const struct stat& st);
// The identity of the folder at path, every link on the way and at its end
// followed: a path that another program recorded may reach the Desktop
// through a link. Nothing when path leads to no folder or cannot be looked at.
std::optional<Identity> FolderIdentityAt(const std::string& path);

}  // namespace tidyfold::fs
