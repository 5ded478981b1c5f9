// The walk of the unpacked-folder check: each entry of the folder against
// the archive's listing.

#include "base/Error.h"
#include "engine/UnpackedCheck.h"
#include "engine/RelativePath.h"
#include "fs/Handles.h"

namespace tidyfold::unpacked {

namespace {

class Walker {
public:
    Walker(const ArchiveIndex& index, Pacer& pacer, std::uint64_t device)
        : index_(index), pacer_(pacer), device_(device) {}

    void Walk(const fs::OpenFolder& folder, const std::string& relative) {
        for (const fs::Entry& entry : folder.List()) {
            pacer_.Entry();
            const std::string path = RelativePath(relative, entry.name);
            if (entry.error != 0)
                Keep(UnpackedKeep::Unreadable, path, Error::System(entry.error, "cannot read the details of",
                                                                   fs::JoinPath(folder.Path(), entry.name))
                                                         .what());
            switch (entry.kind) {
            case fs::EntryKind::Folder:
                Descend(folder, entry, path);
                break;
            case fs::EntryKind::File:
                CheckFile(entry, path);
                break;
            case fs::EntryKind::Link:
                CheckLink(folder, entry, path);
                break;
            case fs::EntryKind::Other:
                Keep(UnpackedKeep::NotComparable, path, "is a FIFO, socket or device");
            }
        }
    }

    Needs Take() { return std::move(needs_); }

private:
    void Descend(const fs::OpenFolder& folder, const fs::Entry& entry, const std::string& path) {
        // The removal stops at a mount point, and what lies beyond was never
        // the archive's to vouch for.
        if (entry.id.device != device_)
            Keep(UnpackedKeep::NotComparable, path, "is on another file system");
        const std::optional<fs::OpenFolder> sub = folder.OpenListed(entry);
        if (!sub)
            Keep(UnpackedKeep::Changed, path);
        Walk(*sub, path);
    }

    void CheckFile(const fs::Entry& entry, const std::string& path) {
        const Listed* listed = index_.Find(path);
        if (listed == nullptr)
            Keep(UnpackedKeep::NotInArchive, path);
        // A hard link's data lies in another entry; it is not followed there.
        if (listed->kind != fs::ArchiveEntryKind::File)
            Keep(UnpackedKeep::NotAFile, path);
        if (listed->encrypted)
            Keep(UnpackedKeep::Encrypted, path);
        if (listed->size && *listed->size != entry.size)
            Keep(UnpackedKeep::OtherSize, path);
        // Two empty files are the same file; nothing to read.
        if (listed->size && entry.size == 0)
            return;
        needs_.insert_or_assign(listed->position, Need{path, entry.size, entry.id});
    }

    void CheckLink(const fs::OpenFolder& folder, const fs::Entry& entry, const std::string& path) {
        const Listed* listed = index_.Find(path);
        if (listed == nullptr || listed->kind != fs::ArchiveEntryKind::Link)
            Keep(UnpackedKeep::OtherLink, path);
        std::string target;
        if (const int errnum = fs::ReadLinkTarget(folder.Fd(), entry.name.c_str(), entry.size, target))
            throw Error::System(errnum, "cannot read the link", fs::JoinPath(folder.Path(), entry.name));
        if (target != listed->linkTarget)
            Keep(UnpackedKeep::OtherLink, path);
    }

    const ArchiveIndex& index_;
    Pacer& pacer_;
    const std::uint64_t device_;
    Needs needs_;
};

}  // namespace

Needs WalkFolder(const fs::OpenFolder& folder, const ArchiveIndex& index, Pacer& pacer) {
    Walker walker(index, pacer, folder.Id().device);
    walker.Walk(folder, {});
    return walker.Take();
}

}  // namespace tidyfold::unpacked
