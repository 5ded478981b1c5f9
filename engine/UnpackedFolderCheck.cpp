// The unpacked-folder check: the driver, its pacing and its verdict.

#include "engine/UnpackedFolderCheck.h"

#include "base/Error.h"
#include "engine/UnpackedCheck.h"
#include "engine/Yield.h"
#include "fs/Handles.h"

namespace tidyfold {

namespace unpacked {

namespace {
// Often enough that a window stays responsive (a few milliseconds of
// reading), seldom enough that yielding costs nothing measurable.
constexpr std::uint64_t kYieldBytes = 4 << 20;
constexpr unsigned kYieldEntries = 256;
}  // namespace

std::string ArchivePath(const fs::OpenFolder& desktop, const std::string& archiveName) {
    return fs::JoinPath(desktop.Path(), archiveName);
}

void Pacer::Bytes(std::uint64_t count) {
    bytes_ += count;
    if (bytes_ >= kYieldBytes) {
        bytes_ = 0;
        Breathe();
    }
}

void Pacer::Entry() {
    if (++entries_ >= kYieldEntries) {
        entries_ = 0;
        Breathe();
    }
}

fs::ArchiveReader::Pacer Pacer::ForArchive() {
    return [this, last = std::uint64_t{0}](std::uint64_t total) mutable {
        Bytes(total - last);
        last = total;
    };
}

void Pacer::Breathe() {
    if (!yields_)
        return;
    Yield();
    if (stopAsked_())
        Keep(UnpackedKeep::Stopped, {});
}

}  // namespace unpacked

std::string UnpackedFolderVerdict::Reason() const {
    switch (keep) {
    case UnpackedKeep::Nothing:
        return "every file is in the archive";
    case UnpackedKeep::NotInArchive:
        return file + " is not in the archive";
    case UnpackedKeep::NotAFile:
        return file + " is not a file in the archive";
    case UnpackedKeep::OtherSize:
        return file + " differs in size from the archive's file";
    case UnpackedKeep::OtherContent:
        return file + " differs from the archive's file";
    case UnpackedKeep::Encrypted:
        return file + " is encrypted in the archive";
    case UnpackedKeep::OtherLink:
        return file + " is a link that the archive does not hold";
    case UnpackedKeep::NotComparable:
        return file + " " + detail;
    case UnpackedKeep::Changed:
        return (file.empty() ? std::string("the archive") : file) + " changed while it was compared";
    case UnpackedKeep::Unreadable:
        return detail;
    case UnpackedKeep::Stopped:
        return "the check was stopped";
    }
    return detail;
}

UnpackedFolderVerdict CheckUnpackedFolder(const fs::OpenFolder& desktop, const std::string& archiveName,
                                          const std::string& folderName, const std::function<bool()>& stopAsked) {
    using namespace unpacked;
    if (stopAsked())
        return {UnpackedKeep::Stopped, {}, {}};
    try {
        Pacer pacer(stopAsked);
        const ArchiveIndex index = ReadArchiveIndex(desktop, archiveName, folderName, pacer);
        const fs::OpenFolder folder = desktop.OpenSub(folderName);
        Needs needs = WalkFolder(folder, index, pacer);
        CompareData(desktop, folder, archiveName, index, std::move(needs), pacer);
        return {};
    } catch (const Kept& kept) {
        return kept.verdict;
    } catch (const Error& error) {
        return {UnpackedKeep::Unreadable, {}, error.what()};
    }
}

}  // namespace tidyfold
