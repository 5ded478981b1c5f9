#pragma once

// What a folder tree holds, read without following links and without opening
// anything but regular files: the one snapshot every suite compares trees
// with.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

namespace tidyfold::test {

enum class Kind { File, Link, Folder, Fifo, Socket, Other };

struct Entry {
    Kind kind = Kind::Other;
    mode_t mode = 0;            // permission bits
    std::uint64_t size = 0;
    std::uint64_t hash = 0;     // of the contents, regular files only
    std::string target;         // of a link
    std::int64_t mtime_ns = 0;
    std::int64_t ctime_ns = 0;
};

// Relative path ("a/b.txt", no leading "/") to entry; the root itself is not
// in it. A folder that cannot be listed is recorded but not entered.
using Snapshot = std::map<std::string, Entry>;

Snapshot Scan(const std::string& root);
// Scan of root, or an empty snapshot when root does not exist.
Snapshot ScanIfPresent(const std::string& root);

// Same data: kind, size and contents (or link target).
bool SameData(const Entry& a, const Entry& b);
// Same data, permission bits and modification and change times: nothing
// touched it (access times are left out, reading sets them).
bool Untouched(const Entry& a, const Entry& b);

// An entry as one line that compares and prints well in an assertion: "D" and
// the permission bits for a folder, "F:" with size, hash and permission bits
// for a file, "L:" and the target for a link, "O" for anything else. No times.
std::string Brief(const Entry& entry);
// ScanIfPresent(root), each entry as Brief() gives it.
std::map<std::string, std::string> BriefTree(const std::string& root);

std::uint64_t HashBytes(const void* data, std::size_t size, std::uint64_t seed = 0);

// The copy routine writes to ".<name>.tidyfold-tmp-XXXXXX" beside the target.
bool IsTempName(const std::string& name);
std::string BaseName(const std::string& relative);

// The files and links of a snapshot.
Snapshot DataEntries(const Snapshot& snapshot);

// Quoted for messages: bytes that are not printable ASCII as \xHH.
std::string Printable(const std::string& path);

}  // namespace tidyfold::test
