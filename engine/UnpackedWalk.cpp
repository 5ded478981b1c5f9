// The walk of the unpacked-folder check: each entry of the folder against
// the archive's listing.

#include "engine/UnpackedCheck.h"

namespace tidyfold::unpacked {

namespace {

class Walker {
public:
    Walker(const ArchiveIndex& index, Pacer& pacer, std::uint64_t device)
        : index_(index), pacer_(pacer), device_(device) {}

    void Walk(const Dir& dir, const std::string& relative) {
        for (const Node& node : dir.List()) {
            pacer_.Entry();
            const std::string path = relative.empty() ? node.name : relative + "/" + node.name;
            switch (node.kind) {
            case NodeKind::Folder:
                // The removal stops at a mount point, and what lies beyond
                // was never the archive's to vouch for.
                if (node.device != device_)
                    Keep(UnpackedKeep::NotComparable, path, "is on another file system");
                Walk(*dir.OpenFolder(node.name), path);
                break;
            case NodeKind::File:
                CheckFile(node, path);
                break;
            case NodeKind::Link:
                CheckLink(dir, node, path);
                break;
            case NodeKind::Other:
                Keep(UnpackedKeep::NotComparable, path, "is a FIFO, socket or device");
            }
        }
    }

    Needs Take() { return std::move(needs_); }

private:
    void CheckFile(const Node& node, const std::string& path) {
        const Listed* listed = index_.Find(path);
        if (listed == nullptr)
            Keep(UnpackedKeep::NotInArchive, path);
        // A hard link's data lies in another entry; it is not followed there.
        if (listed->kind != fs::ArchiveEntryKind::File)
            Keep(UnpackedKeep::NotAFile, path);
        if (listed->encrypted)
            Keep(UnpackedKeep::Encrypted, path);
        if (listed->size && *listed->size != node.size)
            Keep(UnpackedKeep::OtherSize, path);
        // Two empty files are the same file; nothing to read.
        if (listed->size && node.size == 0)
            return;
        needs_.insert_or_assign(listed->position, Need{path, node.size, node.device, node.inode});
    }

    void CheckLink(const Dir& dir, const Node& node, const std::string& path) {
        const Listed* listed = index_.Find(path);
        if (listed == nullptr || listed->kind != fs::ArchiveEntryKind::Link ||
            listed->linkTarget != dir.LinkTarget(node.name))
            Keep(UnpackedKeep::OtherLink, path);
    }

    const ArchiveIndex& index_;
    Pacer& pacer_;
    const std::uint64_t device_;
    Needs needs_;
};

}  // namespace

Needs WalkFolder(const Dir& folder, const ArchiveIndex& index, Pacer& pacer) {
    Walker walker(index, pacer, folder.Device());
    walker.Walk(folder, {});
    return walker.Take();
}

}  // namespace tidyfold::unpacked
