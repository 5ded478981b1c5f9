#pragma once

// The pieces of the unpacked-folder check, shared by its files: the pacing,
// the archive's listing, the walk of the folder and the comparison of data.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/UnpackedFolderCheck.h"
#include "fs/Archive.h"
#include "fs/OpenFolder.h"

namespace tidyfold::unpacked {

// Where the archive is, for messages.
std::string ArchivePath(const fs::OpenFolder& desktop, const std::string& archiveName);

inline constexpr std::size_t kChunk = 64 * 1024;

// Thrown where the check knows the folder must stay; carries the verdict.
struct Kept {
    UnpackedFolderVerdict verdict;
};

[[noreturn]] inline void Keep(UnpackedKeep why, std::string file, std::string detail = {}) {
    throw Kept{{why, std::move(file), std::move(detail)}};
}

// Yields as the scan does, after every few MiB read and every few hundred
// entries, and ends the check (Kept, Stopped) when a stop is asked for then.
class Pacer {
public:
    explicit Pacer(const std::function<bool()>& stopAsked) : stopAsked_(stopAsked) {}
    // One that never yields nor stops: for an Undo, which runs to its end.
    Pacer() : stopAsked_(kNever), yields_(false) {}
    void Bytes(std::uint64_t count);
    void Entry();
    // For the archive reader, which reports its running total.
    fs::ArchiveReader::Pacer ForArchive();

private:
    void Breathe();
    static inline const std::function<bool()> kNever = [] { return false; };
    const std::function<bool()>& stopAsked_;
    bool yields_ = true;
    std::uint64_t bytes_ = 0;
    unsigned entries_ = 0;
};

// One path of the archive: the last entry under it, as unpacking leaves it.
struct Listed {
    std::size_t position = 0;  // the entry's place in the archive, counted from 0
    fs::ArchiveEntryKind kind = fs::ArchiveEntryKind::Other;
    std::string linkTarget;
    std::optional<std::uint64_t> size;
    bool encrypted = false;
};

struct ArchiveIndex {
    std::unordered_map<std::string, Listed> entries;  // by fs::NormalArchivePath
    // "<folder name>/" when every entry lies under a top folder named like
    // the folder, else empty: what a path inside the folder is prefixed with.
    std::string prefix;
    const Listed* Find(const std::string& relative) const;
};

// The first pass: the archive's listing, no data read but what skipping needs.
ArchiveIndex ReadArchiveIndex(const fs::OpenFolder& desktop, const std::string& archiveName,
                              const std::string& folderName, Pacer& pacer);

// A file of the folder whose archive entry must be compared byte by byte.
struct Need {
    std::string relative;
    std::uint64_t size = 0;
    fs::Identity id;  // the file the walk saw
};
using Needs = std::unordered_map<std::size_t, Need>;  // by the entry's position

// The walk: every entry of the folder, each folder listed once. Keeps the
// folder (Kept) at the first entry that is no copy, else returns the files
// to compare.
Needs WalkFolder(const fs::OpenFolder& folder, const ArchiveIndex& index, Pacer& pacer);

// The second pass over the archive, comparing the data of the needed
// entries with the files in chunks; Kept at the first difference.
void CompareData(const fs::OpenFolder& desktop, const fs::OpenFolder& folder, const std::string& archiveName,
                 const ArchiveIndex& index, Needs needs, Pacer& pacer);

}  // namespace tidyfold::unpacked
