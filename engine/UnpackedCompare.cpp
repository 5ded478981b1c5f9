// The second pass of the unpacked-folder check: the archive's data against
// the folder's files, in archive order, a chunk at a time.

#include <cstring>
#include <vector>

#include "engine/UnpackedCheck.h"

namespace tidyfold::unpacked {

namespace {

// Opens files by their path below the folder, keeping the folders of the
// last path open: an archive lists a folder's files together, so each
// folder is opened about once, and never more stay open than the path is deep.
class Cursor {
public:
    explicit Cursor(const fs::OpenFolder& root) : root_(root) {}

    fs::InputFile Open(const std::string& relative) {
        std::vector<std::string> parts;
        for (std::size_t start = 0;;) {
            const std::size_t slash = relative.find('/', start);
            parts.push_back(relative.substr(start, slash - start));
            if (slash == std::string::npos)
                break;
            start = slash + 1;
        }
        const std::size_t folders = parts.size() - 1;
        std::size_t kept = 0;
        while (kept < open_.size() && kept < folders && open_[kept].name == parts[kept])
            ++kept;
        open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(kept), open_.end());
        for (std::size_t i = kept; i < folders; ++i)
            open_.push_back({parts[i], Top().OpenSub(parts[i])});
        return Top().OpenForReading(parts.back());
    }

private:
    struct Opened {
        std::string name;
        fs::OpenFolder folder;
    };
    const fs::OpenFolder& Top() const { return open_.empty() ? root_ : open_.back().folder; }

    const fs::OpenFolder& root_;
    std::vector<Opened> open_;
};

// Reads until size bytes are in or the file ends; short reads are allowed.
std::size_t ReadFully(fs::InputFile& file, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t n = file.Read(buffer + done, size - done);
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

class Comparer {
public:
    Comparer(fs::ArchiveReader& reader, Pacer& pacer) : reader_(reader), pacer_(pacer) {}

    // The entry under the reader against file; Kept at the first difference.
    void Compare(fs::InputFile& file, const Need& need) {
        // The file named in the walk, not one put there since.
        if (file.Opened().id != need.id)
            Keep(UnpackedKeep::Changed, need.relative);
        std::uint64_t total = 0;
        while (const std::size_t n = reader_.Read(theirs_.data(), theirs_.size())) {
            if (ReadFully(file, ours_.data(), n) != n)
                Keep(UnpackedKeep::OtherSize, need.relative);
            if (std::memcmp(ours_.data(), theirs_.data(), n) != 0)
                Keep(UnpackedKeep::OtherContent, need.relative);
            total += n;
            pacer_.Bytes(n);
        }
        if (total != need.size || ReadFully(file, ours_.data(), 1) != 0)
            Keep(UnpackedKeep::OtherSize, need.relative);
    }

private:
    fs::ArchiveReader& reader_;
    Pacer& pacer_;
    std::vector<char> ours_ = std::vector<char>(kChunk);
    std::vector<char> theirs_ = std::vector<char>(kChunk);
};

}  // namespace

void CompareData(const fs::OpenFolder& desktop, const fs::OpenFolder& folder, const std::string& archiveName,
                 const ArchiveIndex& index, Needs needs, Pacer& pacer) {
    if (needs.empty())
        return;
    fs::ArchiveReader reader(desktop.Fd(), archiveName, ArchivePath(desktop, archiveName), pacer.ForArchive());
    Cursor cursor(folder);
    Comparer comparer(reader, pacer);
    fs::ArchiveEntry entry;
    for (std::size_t position = 0; !needs.empty() && reader.Next(entry); ++position) {
        pacer.Entry();
        const auto need = needs.find(position);
        if (need == needs.end())
            continue;
        // The archive read now must be the one listed before.
        if (fs::NormalArchivePath(entry.path) != index.prefix + need->second.relative)
            Keep(UnpackedKeep::Changed, {});
        fs::InputFile file = cursor.Open(need->second.relative);
        comparer.Compare(file, need->second);
        needs.erase(need);
    }
    if (!needs.empty())
        Keep(UnpackedKeep::Changed, {});
}

}  // namespace tidyfold::unpacked
