// The first pass of the unpacked-folder check: the archive's listing.

#include "engine/UnpackedCheck.h"

namespace tidyfold::unpacked {

const Listed* ArchiveIndex::Find(const std::string& relative) const {
    const auto found = entries.find(prefix + relative);
    return found == entries.end() ? nullptr : &found->second;
}

ArchiveIndex ReadArchiveIndex(const fs::OpenFolder& desktop, const std::string& archiveName,
                              const std::string& folderName, Pacer& pacer) {
    fs::ArchiveReader reader(desktop.Fd(), archiveName, ArchivePath(desktop, archiveName), pacer.ForArchive());
    ArchiveIndex index;
    const std::string top = folderName + "/";
    bool underTop = true;
    fs::ArchiveEntry entry;
    for (std::size_t position = 0; reader.Next(entry); ++position) {
        pacer.Entry();
        std::string path = fs::NormalArchivePath(entry.path);
        if (path.empty())
            continue;  // "./": the archive's root itself
        underTop = underTop && (path == folderName || path.starts_with(top));
        // A later entry of the same path replaces the earlier one, as it
        // would when unpacked.
        index.entries.insert_or_assign(
            std::move(path), Listed{position, entry.kind, std::move(entry.linkTarget), entry.size, entry.encrypted});
    }
    if (underTop && !index.entries.empty())
        index.prefix = top;
    return index;
}

}  // namespace tidyfold::unpacked

namespace tidyfold {

std::string UnpackedFolderPrefix(const fs::OpenFolder& desktop, const std::string& archiveName,
                                 const std::string& folderName) {
    unpacked::Pacer pacer;
    return unpacked::ReadArchiveIndex(desktop, archiveName, folderName, pacer).prefix;
}

}  // namespace tidyfold
