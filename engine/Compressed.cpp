// Folders unpacked beside their archives directly in a folder.

#include <unordered_map>

#include "engine/ArchiveList.h"
#include "engine/PassFolders.h"
#include "engine/UnpackedFolderCheck.h"
#include "engine/cTidyfold.h"
#include "shell/AppFiles.h"

namespace tidyfold {

namespace {

ArchiveList ReadArchiveList() {
    const AppFileLocation list = LocateAppFile(AppFile::ArchiveList);
    if (list.whenMissing == WhenMissing::CreateEmpty)
        return ArchiveList::Parse(fs::ReadOrCreateFile(list.path));
    // The user's own list may be a link into a dotfile collection.
    return ArchiveList::Parse(fs::ReadLinkedConfigFile(list.path));
}

// Whether anything at or below the folder listed as sub (relative names its
// path below the Desktop) is kept: an unpacked folder goes with everything in
// it, so one kept file in it keeps the whole folder. A folder that changed
// since it was listed is not looked through: for sub itself the removal
// refuses it anyway, and one further down keeps the folder, unseen.
bool HoldsKept(const fs::OpenFolder& folder, const fs::Entry& sub, const std::string& relative, const KeepList& keep,
               bool top) {
    if (keep.Matches(relative, KeepKind::Folder))
        return true;
    const std::optional<fs::OpenFolder> opened = folder.OpenListed(sub);
    if (!opened)
        return !top;
    for (const fs::Entry& entry : opened->List()) {
        const std::string inside = relative + "/" + entry.name;
        if (entry.kind == fs::EntryKind::Folder ? HoldsKept(*opened, entry, inside, keep, false)
                                                : keep.Matches(inside, KeepKind::File))
            return true;
    }
    return false;
}

// The archive beside sub is still the file it was when sub was found: of
// the same size and modification time (one that is a link is refused by the
// check itself, with its own reason).
bool ArchiveAsFound(const fs::OpenFolder& folder, const PlanEntry& sub) {
    const std::optional<fs::Entry> now = folder.Stat(sub.archive);
    return now && (now->kind == fs::EntryKind::File || now->kind == fs::EntryKind::Link) &&
           now->size == sub.archiveSize &&
           now->times.modify_ns == sub.archiveModifyNs;
}

}  // namespace

std::int32_t cTidyfold::ProcessCompressed(const std::string& sPath) {
    const PassFolders folders(sPath, cOptions::StoredOffloadPath());
    desktopPath_ = folders.Desktop().Path();
    if (journal_ != nullptr)
        journal_->Folders(desktopPath_, cOptions::StoredOffloadPath());
    report_.unpackedStep = true;
    if (report_.desktop.empty())
        report_.desktop = desktopPath_;
    // Each folder is compared with its archive as its removal comes.
    RemoveUnpacked(folders, PlanUnpacked(folders, false));
    return RemovedFolders_;
}

std::vector<PlanEntry> cTidyfold::PlanUnpacked(const PassFolders& folders, bool compare) {
    const fs::OpenFolder& folder = folders.Desktop();
    // The list is read once and the folder listed once, so a Desktop with
    // many files costs one pass over them, besides reading each archive that
    // has a folder beside it.
    const ArchiveList list = ReadArchiveList();
    const std::vector<fs::Entry> entries = folder.List();
    std::unordered_map<std::string, const fs::Entry*> subFolders;
    for (const fs::Entry& entry : entries) {
        if (entry.kind == fs::EntryKind::Folder)
            subFolders.emplace(entry.name, &entry);
    }
    std::vector<PlanEntry> unpacked;
    const std::function<bool()> stopAsked = [this] { return StopAsked(); };
    for (const fs::Entry& file : entries) {
        if (file.kind != fs::EntryKind::File && file.kind != fs::EntryKind::Link)
            continue;
        const std::optional<std::string_view> base = list.BaseName(file.name);
        if (!base)
            continue;
        const auto match = subFolders.find(std::string(*base));
        if (match == subFolders.end())
            continue;
        const fs::Entry& sub = *match->second;
        subFolders.erase(match);  // a second archive of the same name finds it gone
        // "Trash.zip" beside an offload folder kept on the Desktop must not
        // take the offloaded files with it, however the folder is reached.
        if (sub.error == 0 && folders.MustKeep(sub.id))
            continue;
        if (HoldsKept(folder, sub, sub.name, Keep(), true)) {
            LogError("Kept folder " + fs::JoinPath(folder.Path(), sub.name) + ": it holds files you keep.");
            report_.entries.push_back(ReportEntry{JournalAction::RemoveUnpackedFolder, JournalOutcome::Skipped,
                                                  sub.kind, sub.name, {}, "it holds files you keep"});
            continue;
        }
        PlanEntry entry{JournalAction::RemoveUnpackedFolder, sub.name, {}, folder.Id(), sub, file.name, {}};
        entry.archiveSize = file.size;
        entry.archiveModifyNs = file.times.modify_ns;
        // A plan shown before anything is done lists only the folders that
        // the comparison would let go.
        if (compare) {
            const UnpackedFolderVerdict verdict = CheckUnpackedFolder(folder, file.name, sub.name, stopAsked);
            if (verdict.keep == UnpackedKeep::Stopped) {
                Stopped_ = true;
                break;
            }
            if (!verdict.Remove())
                continue;
        }
        unpacked.push_back(std::move(entry));
    }
    return unpacked;
}

void cTidyfold::RemoveUnpacked(const PassFolders& folders, const std::vector<PlanEntry>& unpacked) {
    const fs::OpenFolder& folder = folders.Desktop();
    const std::function<bool()> stopAsked = [this] { return StopAsked(); };
    Journaled(unpacked, [&](const PlanEntry& sub) -> JournalResult {
        // The folder under check when Stop came stays, and so does every
        // later one.
        if (StopAsked()) {
            Stopped_ = cutShort_ = true;
            return {JournalOutcome::Skipped, "", "The check was stopped."};
        }
        // The history records the archive as it was found: what Undo
        // unpacks the folder from again. An archive changed since then (or
        // while it was compared) keeps the folder.
        if (!ArchiveAsFound(folder, sub)) {
            LogError("Kept folder " + fs::JoinPath(folder.Path(), sub.relative) + " beside " + sub.archive +
                     ": the archive changed since it was found.");
            return {JournalOutcome::Skipped, "", "Kept: the archive changed since it was found."};
        }
        // A name proves nothing: the folder goes only when every file in it
        // is a byte-identical copy of the archive's, and it goes at once,
        // with no yield in between for it to change.
        UnpackedFolderVerdict verdict = CheckUnpackedFolder(folder, sub.archive, sub.relative, stopAsked);
        if (verdict.keep == UnpackedKeep::Stopped) {
            Stopped_ = cutShort_ = true;
            return {JournalOutcome::Skipped, "", "The check was stopped."};
        }
        if (verdict.Remove() && !ArchiveAsFound(folder, sub))
            verdict.keep = UnpackedKeep::Changed;
        if (!verdict.Remove()) {
            LogError("Kept folder " + fs::JoinPath(folder.Path(), sub.relative) + " beside " + sub.archive + ": " +
                     verdict.Reason() + ".");
            return {JournalOutcome::Skipped, "", "Kept: " + verdict.Reason() + "."};
        }
        if (!folder.RemoveListedTree(sub.seen)) {
            LogError("Skipped folder " + fs::JoinPath(folder.Path(), sub.relative) +
                     ": it changed after it was listed (it may be a link now), so it was not removed.");
            return {JournalOutcome::Skipped, "", "It changed after it was found (it may be a link now)."};
        }
        ++RemovedFolders_;
        return {};
    });
}

std::int16_t cTidyfold::IsCompressedFile(const fs::File& aFile) {
    return ReadArchiveList().BaseName(aFile.Name()) ? kTrue : kFalse;
}

std::int16_t cTidyfold::FoundUncompressedFolder(const fs::File& thisFile, const fs::Folder& currentFolder,
                                                std::optional<fs::Folder>& UCFolder) {
    const std::string name = thisFile.Name();
    const std::optional<std::string_view> base = ReadArchiveList().BaseName(name);
    if (!base)
        return kFalse;
    for (const fs::Folder& sub : currentFolder.SubFolders()) {
        if (sub.Name() == *base) {
            UCFolder = sub;
            return kTrue;
        }
    }
    return kFalse;
}

}  // namespace tidyfold
