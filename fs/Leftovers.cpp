#include "fs/Leftovers.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "fs/Handles.h"
#include "fs/Temp.h"

namespace tidyfold::fs {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

// Reads until size bytes or the end; short only at the end.
std::size_t ReadFull(InputFile& file, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const std::size_t now = file.Read(buffer + got, size - got);
        if (now == 0)
            break;
        got += now;
    }
    return got;
}

bool SameFileContents(const OpenFolder& aFolder, const Entry& a, const OpenFolder& bFolder, const Entry& b) {
    InputFile first = aFolder.OpenForReading(a.name);
    InputFile second = bFolder.OpenForReading(b.name);
    // Only the files listed: a name that leads elsewhere now is not them.
    if (first.Opened().id != a.id || second.Opened().id != b.id || first.Opened().size != second.Opened().size)
        return false;
    std::vector<char> one(kChunk), two(kChunk);
    for (;;) {
        const std::size_t got = ReadFull(first, one.data(), kChunk);
        if (ReadFull(second, two.data(), kChunk) != got || std::memcmp(one.data(), two.data(), got) != 0)
            return false;
        if (got < kChunk)
            return true;
    }
}

std::string LinkText(const OpenFolder& folder, const Entry& link) {
    std::string text;
    if (int error = ReadLinkTarget(folder.Fd(), link.name.c_str(), static_cast<std::size_t>(link.size), text))
        ThrowErrno(error, "cannot read the link", JoinPath(folder.Path(), link.name));
    return text;
}

}  // namespace

bool SameContents(const OpenFolder& aFolder, const Entry& a, const OpenFolder& bFolder, const Entry& b) {
    if (a.kind != b.kind || a.error != 0 || b.error != 0)
        return false;
    if (a.kind == EntryKind::File)
        return SameFileContents(aFolder, a, bFolder, b);
    if (a.kind == EntryKind::Link)
        return LinkText(aFolder, a) == LinkText(bFolder, b);
    return false;
}

std::size_t RemoveTemporaries(const OpenFolder& folder, const std::set<std::string>& finalNames) {
    std::set<std::string> stems;
    for (const std::string& name : finalNames)
        stems.insert(TempStemOf(name));
    std::size_t removed = 0;
    for (const Entry& entry : folder.List()) {
        // Only what a copy makes under a temporary name: a file or a link.
        if (entry.kind != EntryKind::File && entry.kind != EntryKind::Link)
            continue;
        const std::optional<std::string> stem = TempNameStem(entry.name);
        if (!stem || stems.count(*stem) == 0)
            continue;
        if (sys::UnlinkAt(folder.Fd(), entry.name.c_str()) == 0)
            ++removed;
        else if (errno != ENOENT)
            ThrowErrno("cannot remove the temporary file", JoinPath(folder.Path(), entry.name));
    }
    return removed;
}

}  // namespace tidyfold::fs
