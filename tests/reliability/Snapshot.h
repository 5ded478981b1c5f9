#pragma once

// What a folder tree holds, read without following links and without opening
// anything but regular files, and the checks the suites make on it.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tidyfold::reliability {

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

std::uint64_t HashBytes(const void* data, std::size_t size, std::uint64_t seed = 0);

// The copy routine writes to ".<name>.tidyfold-tmp-XXXXXX" beside the target.
bool IsTempName(const std::string& name);
std::string BaseName(const std::string& relative);

// Copies the tree below src into dst (created), links as links.
void CopyTree(const std::string& src, const std::string& dst);

// The files and links of a snapshot.
Snapshot DataEntries(const Snapshot& snapshot);

struct LossCheck {
    const Snapshot* originals = nullptr;            // files and links before the run
    const Snapshot* desktop = nullptr;              // the Desktop after the run
    std::vector<const Snapshot*> offloads;          // every place files may have gone
    // An original that may legitimately be gone from everywhere (deleted by
    // design); nullptr: none may.
    std::function<bool(const std::string&)> mayVanish;
};

// The nothing-lost invariant. Every original's data is intact at its Desktop
// path or at its path in one of the offload trees (unless it may vanish);
// every file or link under a final name in those trees has the data of the
// original of the same path; a temporary name appears only in an offload
// tree. Returns one line per violation.
std::vector<std::string> CheckNothingLost(const LossCheck& check);

// Quoted for messages: bytes that are not printable ASCII as \xHH.
std::string Printable(const std::string& path);

}  // namespace tidyfold::reliability
