// The walk: every folder listed once, every file of it examined, then each
// sub-folder entered relative to its parent, depth first, a folder's own
// files before anything beneath it. No link is ever followed, and a folder
// is entered only while its name still leads to the folder listed.

#include <algorithm>

#include "engine/PassFolders.h"
#include "engine/cTidyfold.h"
#include "engine/RelativePath.h"

namespace tidyfold {

namespace {

bool IsFile(const fs::Entry& entry) {
    return entry.kind == fs::EntryKind::File || entry.kind == fs::EntryKind::Link;
}

// ".Trash" or ".Trash-<uid>": the Trash a drive keeps at its top folder. One
// appears inside the Desktop tree when a drive is mounted there (or the
// Desktop is a drive of its own) and files on it were trashed.
bool IsDriveTrash(const std::string& name) {
    const std::string prefix = ".Trash-";
    if (name == ".Trash")
        return true;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    return name.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}

}  // namespace

void cTidyfold::Recurse(const std::string& sPath) {
    if (StopAsked())
        return;
    const PassFolders folders(sPath, Options_->OffloadPath());
    desktopPath_ = folders.Desktop().Path();
    BeginAgeing(folders.Desktop());
    gated_.clear();
    RecurseInto(folders.Desktop(), "", folders.Desktop().List(), folders);
    // The empty files the gate found go once the walk is over.
    const std::vector<PlanEntry> gated = std::move(gated_);
    gated_.clear();
    DeleteGated(folders.Desktop(), gated);
}

void cTidyfold::ScanDesktop(const PassFolders& folders) {
    // Listed once: its files now, its sub-folders by the walk below.
    const std::vector<fs::Entry> entries = folders.Desktop().List();
    for (const fs::Entry& entry : entries) {
        if (IsFile(entry))
            ExamineEntry(folders.Desktop(), "", entry, LimitFrom::Options);
    }
    // Where Recurse would be entered with the Desktop.
    if (!StopAsked())
        RecurseInto(folders.Desktop(), "", entries, folders);
}

std::optional<fs::OpenFolder> cTidyfold::EnterListed(const fs::OpenFolder& folder, const fs::Entry& entry,
                                                     const PassFolders& folders) {
    // The offload folder holds the output of earlier passes (scanning it
    // would offload those again), and a folder that holds it is never
    // emptied or removed: neither is entered, however they are reached.
    if (entry.error == 0 && folders.MustKeep(entry.id))
        return std::nullopt;
    // What was trashed is not offloaded or trashed again: its info files
    // would no longer lead back to where it came from.
    if (IsDriveTrash(entry.name))
        return std::nullopt;
    std::optional<fs::OpenFolder> sub = folder.OpenListed(entry);
    if (!sub) {
        const std::string notice = "Skipped folder " + fs::JoinPath(folder.Path(), entry.name) +
                                   ": it changed after it was listed (it may be a link now), so it was not entered.";
        LogError(notice);
        report_.notices.push_back(notice);
        return std::nullopt;
    }
    if (folders.MustKeep(sub->Id()))
        return std::nullopt;
    return sub;
}

std::size_t cTidyfold::RecurseInto(const fs::OpenFolder& folder, const std::string& relative,
                                   const std::vector<fs::Entry>& entries, const PassFolders& folders) {
    std::size_t leaving = 0;
    for (const fs::Entry& entry : entries) {
        if (entry.kind != fs::EntryKind::Folder)
            continue;
        // A kept folder is never walked: nothing in it is offloaded.
        const std::string subRelative = RelativePath(relative, entry.name);
        if (Keep().Matches(subRelative, KeepKind::Folder))
            continue;
        // An unpacked folder that a plan removes first is never scanned.
        if (entry.error == 0 &&
            std::find(goneBeforeScan_.begin(), goneBeforeScan_.end(), entry.id) != goneBeforeScan_.end())
            continue;
        const std::optional<fs::OpenFolder> sub = EnterListed(folder, entry, folders);
        if (!sub)
            continue;
        const std::vector<fs::Entry> subEntries = sub->List();
        std::size_t subLeaving = 0;
        for (const fs::Entry& file : subEntries) {
            if (IsFile(file) && ExamineEntry(*sub, subRelative, file, LimitFrom::Engine))
                ++subLeaving;
        }
        // Cancel is honoured where the nested walk would begin.
        if (!StopAsked())
            subLeaving += RecurseInto(*sub, subRelative, subEntries, folders);
        // For a plan: a folder whose every entry would leave would be empty
        // at the end of the pass, and go with the empty folders (deepest
        // first, as they are removed).
        if (subLeaving == subEntries.size()) {
            ++leaving;
            if (predictedEmpty_ != nullptr)
                predictedEmpty_->push_back(
                    PlanEntry{JournalAction::RemoveEmptyFolder, subRelative, {}, folder.Id(), entry, {}, {}});
        }
    }
    return leaving;
}

}  // namespace tidyfold
