#pragma once

// The desktop's record of the files the user opened:
// $XDG_DATA_HOME/recently-used.xbel, in the Desktop Bookmark format that GTK
// and KDE applications and file choosers write. For each file it gives when
// the desktop saw it added, changed or visited, and when each application
// last opened it. Reading a file on a drive mounted noatime leaves its
// access time alone; this record still knows the file was opened.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fs/OpenFolder.h"

namespace tidyfold {

// The newest time the record gives one file, and who used it then.
struct RecentUse {
    std::int64_t ns = 0;  // UTC, nanoseconds since 1970-01-01
    // The application that opened it at that time, when the record names
    // one (as the application gave its own name: "Document Viewer", "okular").
    std::string application;
};

// One file of the record: its path as bytes (the file:// URI decoded).
struct RecentEntry {
    std::string path;
    RecentUse use;
};

// A larger record is not read: the pass then goes by the files' own times.
inline constexpr std::size_t kRecentFilesLimit = 8u << 20;  // 8 MiB

// The entries of a record's text: files of this machine (file:// URIs
// without a host or with "localhost") that have at least one time. Nothing
// when the text is not a readable record; why then holds the reader's words.
std::optional<std::vector<RecentEntry>> ParseRecentFiles(std::string_view text, std::string& why);

// The record's entries found by folder and name: a scan asks for the entry
// of a file by the identity of the folder it is listing, so the Desktop's
// files are found whichever spelling of the Desktop the record used (a link
// to it, a bind mount, the path the pass was given).
class RecentFiles {
public:
    RecentFiles() = default;  // knows of no file
    // Each folder the entries name is looked up once, links followed; the
    // entries of a folder that is not there are left out. Two entries of one
    // file (two spellings) count as the newer.
    explicit RecentFiles(const std::vector<RecentEntry>& entries);

    // What the record says of name in the folder folder; nullptr when it has
    // no entry for it.
    const RecentUse* Find(const fs::Identity& folder, const std::string& name) const;
    bool Empty() const noexcept { return folders_.empty(); }
    std::size_t Size() const noexcept { return size_; }

private:
    struct IdentityHash {
        std::size_t operator()(const fs::Identity& id) const noexcept {
            return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
        }
    };
    std::unordered_map<fs::Identity, std::unordered_map<std::string, RecentUse>, IdentityHash> folders_;
    std::size_t size_ = 0;
};

// Where the record is: recently-used.xbel in $XDG_DATA_HOME
// (~/.local/share when that is unset or relative); empty without a home.
std::string RecentFilesPath();

// The record as a pass reads it, once, before its scan.
struct RecentFilesRead {
    enum class Outcome {
        Read,        // files holds its entries
        Missing,     // there is none (no application wrote one yet)
        Unreadable,  // it is there but could not be used; see error or why
    };
    Outcome outcome = Outcome::Missing;
    std::string path;
    // For Unreadable: the errno of the failed read (EFBIG when larger than
    // kRecentFilesLimit), or 0 with why holding the reader's words.
    int error = 0;
    std::string why;
    RecentFiles files;
};
RecentFilesRead ReadRecentFiles();

}  // namespace tidyfold
