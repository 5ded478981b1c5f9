// The per-file examination shared by the top-level scan and Recurse, and the
// null-file gate.

#include "base/Error.h"
#include "engine/Ageing.h"
#include "engine/FolderChain.h"
#include "engine/Yield.h"
#include "engine/cTidyfold.h"
#include "engine/RelativePath.h"

namespace tidyfold {

namespace {

// The modes that take a collected file off the Desktop.
bool Removes(TransferMode mode) {
    return mode == TransferMode::CopyThenDelete || mode == TransferMode::Move || mode == TransferMode::Delete ||
           mode == TransferMode::Trash;
}

}  // namespace

std::int32_t cTidyfold::IsFileNullFile(const fs::File& tmpFile) {
    // The size matters only when the option is on; asking it otherwise would
    // cost one more stat per file of every scan.
    if (Options_->DelNullFiles() != 1)
        return 0;
    std::uint64_t size = 0;
    fs::FileTimes times;
    try {
        size = tmpFile.Size();
        times = tmpFile.Times();
    } catch (const Error&) {
        return 0;  // the examination that follows reports the unreadable file
    }
    // An empty file made a minute ago is about to be written: only an old
    // one is clutter.
    const double age = ageing::AgeInDays(clock_(), ageing::LastUseNs(times));
    if (size != 0 || !ageing::IsOlderThan(age, Options_->TimeLimit()))
        return 0;
    // One the desktop saw opened is about to be written too.
    const std::optional<fs::Identity> folder = fs::FolderIdentityAt(fs::ParentPath(tmpFile.Path()));
    if (folder && KeptByRecord(*folder, tmpFile.Name(), Options_->TimeLimit()) != nullptr)
        return 0;
    tmpFile.Delete(fs::Force::No);
    LogError("Deleted empty file " + tmpFile.Path() + ".");
    return 1;
}

bool cTidyfold::GatedAsNullFile(const fs::OpenFolder& folder, const std::string& relative, const fs::Entry& entry,
                                float days) {
    if (Options_->DelNullFiles() != 1 || entry.error != 0 || entry.kind != fs::EntryKind::File || entry.size != 0)
        return false;
    // An empty file made a minute ago is about to be written: only one that
    // is old by the rule every other file is aged by goes.
    if (!ageing::IsOlderThan(ageing::AgeInDays(clock_(), ageing::LastUseNs(entry.times)), days))
        return false;
    // So is one the desktop saw opened; the examination that follows says
    // so in the log.
    if (KeptByRecord(folder.Id(), entry.name, days) != nullptr)
        return false;
    // Deleted once the walk is over, each recorded before it goes: a gate
    // that deleted in the middle of the walk would cost the history one
    // flush per file.
    gated_.push_back(PlanEntry{JournalAction::DeleteEmptyFile, RelativePath(relative, entry.name), {}, folder.Id(),
                               entry, {}, LastUseOf(folder.Id(), entry)});
    return true;
}

void cTidyfold::DeleteGated(const fs::OpenFolder& desktop, const std::vector<PlanEntry>& files) {
    FolderChain chain(desktop);
    Journaled(files, [&](const PlanEntry& file) -> JournalResult {
        // The history's writes come between files, and the user may move a
        // folder out of the Desktop meanwhile: nothing is deleted there.
        chain.Revalidate();
        const fs::OpenFolder* folder = chain.Open(file.relative);
        // Only the empty file that was listed goes: one written to since, or
        // put in its place, stays as what it is.
        if (folder == nullptr || folder->Id() != file.folder)
            return {JournalOutcome::Skipped, "", "It changed or went since the scan."};
        // A plan carried out later reads the record again: an empty file
        // opened since is about to be written.
        if (const RecentUse* opened = KeptByRecord(folder->Id(), file.seen.name, TimeLimit_)) {
            LeaveOpened(file.relative, *opened);
            return {JournalOutcome::Skipped, "", "It was opened since the scan."};
        }
        if (!folder->RemoveListedFile(file.seen, fs::Force::No))
            return {JournalOutcome::Skipped, "", "It changed or went since the scan."};
        LogError("Deleted empty file " + PathOf(file.relative) + ".");
        return {};
    });
}

bool cTidyfold::ExamineEntry(const fs::OpenFolder& folder, const std::string& relative, const fs::Entry& entry,
                             LimitFrom limit) {
    std::string inFolder = RelativePath(relative, entry.name);
    // A kept file is not even looked at: never offloaded, trashed or
    // deleted, the empty-file deletion included.
    if (Keep().Matches(inFolder, KeepKind::File))
        return false;
    const float days = limit == LimitFrom::Engine ? TimeLimit_ : Options_->TimeLimit();
    if (GatedAsNullFile(folder, relative, entry, days))
        return true;
    Yield();
    if (entry.error != 0) {
        // Ageing a file on times that could not be read would offload it on
        // a guess; it is reported and left where it is.
        LogError("Could not open file: " + PathOf(inFolder) + "\r\n" + SystemErrorText(entry.error));
        const std::optional<JournalAction> action = TransferAction(Options_->CopyAction());
        report_.entries.push_back(ReportEntry{action.value_or(JournalAction::Move), JournalOutcome::Skipped,
                                              entry.kind, inFolder, {},
                                              "its times could not be read: " + SystemErrorText(entry.error)});
        RaiseScanningFile(PathOf(inFolder));
        return false;
    }
    // The times come from the folder's listing, one stat per entry; the
    // transfer looks at the file again before it acts on it.
    const double age = ageing::AgeInDays(clock_(), ageing::LastUseNs(entry.times));
    bool old = ageing::IsOlderThan(age, days);
    // Only a file old by its own times asks the desktop's record: a scan of
    // files in use costs nothing more.
    if (old) {
        if (const RecentUse* opened = KeptByRecord(folder.Id(), entry.name, days)) {
            old = false;
            LeaveOpened(inFolder, *opened);
        }
    }
    if (listener_ != nullptr)
        RaiseScanningFile(PathOf(inFolder));
    if (old)
        colFiles_.push_back(CollectedFile{std::move(inFolder), folder.Id(), entry});
    return old && Removes(Options_->CopyAction());
}

}  // namespace tidyfold
