#pragma once

// Reading archives (zip, rar, 7z, tar and compressed tars, cab, lzh, iso,
// cpio, xar) entry by entry, without unpacking anything. The archive's bytes
// come in through the file layer's read call, so its fault seam reaches them
// like any other read. Nothing here writes, follows a link, or runs another
// program.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tidyfold::fs {

enum class ArchiveEntryKind {
    File,      // a regular file with its data in this entry
    Folder,
    Link,      // a symbolic link; its text is in linkTarget
    HardLink,  // a second name for an earlier entry (linkTarget), whose data that one holds
    Other,     // FIFOs, devices and anything else
};

struct ArchiveEntry {
    // The path as the archive stores it, bytes unchanged ("./a", "a/" and
    // "/a" included); a path the system cannot convert comes as libarchive
    // best manages, never as a false match of another name.
    std::string path;
    ArchiveEntryKind kind = ArchiveEntryKind::Other;
    std::string linkTarget;
    // The data's size when the header tells it (a zip written to a pipe
    // may not).
    std::optional<std::uint64_t> size;
    // The data (or the header) is encrypted: it cannot be read without a
    // passphrase, and none is ever given.
    bool encrypted = false;
    // The permission bits, and the modification time when the header has
    // one (ns since 1970).
    std::uint32_t mode = 0;
    std::optional<std::int64_t> modify_ns;
};

// An archive's path as unpacking places it: "./a//b/" gives "a/b", "/a"
// gives "a"; ".." stays, so it never matches a path below a folder.
std::string NormalArchivePath(std::string_view path);

class ArchiveReader {
public:
    // Called with the archive bytes read so far, after every chunk read from
    // the file (at most every 64 KiB), even inside a long skip: the reader's
    // one way to let its caller breathe or stop. An exception thrown here
    // ends the reading and comes out of the reader's call unchanged.
    using Pacer = std::function<void(std::uint64_t bytesRead)>;

    // Opens name relative to the folder dirfd, never through a symbolic
    // link and only when it is a regular file (a FIFO is never waited on),
    // and recognises its format. shownPath names the archive in errors.
    // Throws tidyfold::Error: a system error for a failed open or read, a
    // refusal (EILSEQ) for bytes that are no archive of a known format.
    ArchiveReader(int dirfd, const std::string& name, std::string shownPath, Pacer pacer = {});
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Moves to the next entry, skipping what is left of the current one's
    // data; false after the last. Throws as the constructor does, for a
    // damaged or truncated archive as well.
    bool Next(ArchiveEntry& entry);
    // Up to size bytes of the current entry's data; 0 at its end. Throws as
    // Next does; an encrypted entry's data always fails.
    std::size_t Read(char* buffer, std::size_t size);

    std::uint64_t BytesRead() const;

    struct State;  // defined beside the libarchive callbacks

private:
    std::unique_ptr<State> state_;
};

}  // namespace tidyfold::fs
