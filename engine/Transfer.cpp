// The transfer of one collected file, by the mode CopyAction names. Each is a
// step of its own: the file's folder is entered again from the Desktop, the
// file looked at again, and only the file the scan saw is acted on.

#include <cerrno>

#include "base/Error.h"
#include "engine/Ageing.h"
#include "engine/CopyProgress.h"
#include "engine/TransferFolders.h"
#include "engine/Unfit.h"
#include "engine/cTidyfold.h"
#include "fs/Transfer.h"
#include "fs/Trash.h"
#include "shell/TrashFolder.h"

namespace tidyfold {

namespace {

// Second lines of log entries that say why a file stayed on the Desktop.
constexpr const char* kChangedWhileCopied = "It changed while it was being copied, so it stays on the Desktop.";
constexpr const char* kChangedAfterCopied =
    "It changed after it was copied, so it stays on the Desktop; the offload folder keeps the version that was "
    "copied.";
constexpr const char* kGone = "It is no longer where the scan found it.";
constexpr const char* kFolderMoved =
    "Its folder was moved out of the Desktop while it was copied, so it was left where it is now; the offload "
    "folder keeps the copy.";

// A copy abandoned because a stop was asked for: the pass ends there.
constexpr const char* kStoppedWhileCopied = "The pass was stopped while it was copied, so it stays on the Desktop.";

// What the history says of a file left where it was.
constexpr const char* kUsedSinceScan = "It was used or replaced since the scan, so it stays on the Desktop.";
const std::string kCopiedNotRemoved = "It was copied, but the Desktop file could not be removed, so it is in both places: ";

JournalResult Failed(std::string note) { return {JournalOutcome::Failed, "", std::move(note)}; }

// Where a file went below the offload folder when its own name was taken
// there (relative is where it lay below the Desktop); empty when it kept it.
std::string PlacedAs(const std::string& relative, const std::string& name, const std::string& placed) {
    if (placed.empty() || placed == name)
        return {};
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? placed : relative.substr(0, slash + 1) + placed;
}

std::string LinkInTheWay(const std::string& link) {
    return "A folder on its way into the offload folder is a link, which is never followed: " + link;
}

// The second line of a successful copy's or move's entry: where the file
// is now, and why under another name when its own was taken.
std::string OffloadedTo(const fs::OpenFolder& to, const std::string& name, const std::string& placed) {
    std::string line = "\r\nOffloaded to " + fs::JoinPath(to.Path(), placed);
    if (placed != name)
        line += " (" + name + " was taken there)";
    return line + ".";
}

// A sentence of a reason phrase ("the drive cannot ...").
std::string Sentence(const std::string& phrase) {
    std::string text = phrase;
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ", so it stays on the Desktop.";
}

// Why a failed step failed, as the history notes it: the drive's reason,
// the file's own change or the system's words.
std::string WhyFailed(const fs::Outcome& outcome) {
    if (outcome.unfit)
        return Sentence(UnfitReason(outcome.unfit));
    return outcome.changed ? kChangedWhileCopied : SystemErrorText(outcome.error);
}

// The same as a second line of the log; nothing when the step failed for no
// reason of its own (the file changed).
std::string Because(const fs::Outcome& outcome) {
    if (outcome.changed || outcome.error != 0 || outcome.unfit)
        return "\r\n" + WhyFailed(outcome);
    return {};
}

// Where the offload folder's drive refused a folder on the way (a name that
// FAT, exFAT or NTFS cannot store): that file cannot go there, the others
// may. Nothing for any other failure, which ends the pass as before.
fs::Unfit RefusedFolder(TransferFolders& folders, const std::string& relative, const Error& error) {
    if (error.What() != Error::Kind::System)
        return {};
    for (const std::string& name : FolderNames(relative))
        if (fs::Unfit unfit = fs::RefusalOf(folders.OffloadRules(), name, fs::EntryKind::Folder, error.Number(), true))
            return unfit;
    return {};
}

// The folder below the offload folder that file goes to, made where
// missing; nothing, with the reason in why, when the drive cannot hold the
// file (known ahead, or said by the drive when a folder on the way was
// refused) or a folder on the way is a link.
const fs::OpenFolder* DestinationFor(const CollectedFile& file, const fs::Entry& now, TransferFolders& folders,
                                     fs::Flush flush, std::string& why) {
    if (const fs::Unfit unfit = fs::WhyUnfit(folders.OffloadRules(), file.relative, now.kind, now.size)) {
        why = Sentence(UnfitReason(unfit));
        return nullptr;
    }
    std::string link;
    try {
        if (const fs::OpenFolder* to = folders.Destination(file, flush, link))
            return to;
    } catch (const Error& error) {
        const fs::Unfit unfit = RefusedFolder(folders, file.relative, error);
        if (!unfit)
            throw;
        why = Sentence(UnfitReason(unfit));
        return nullptr;
    }
    why = LinkInTheWay(link);
    return nullptr;
}

}  // namespace

void cTidyfold::LogFailedTransfer(const std::string& text) { LogError(text); }

void cTidyfold::LeaveAlone(const std::string& relative, const std::string& reason) {
    LogError("Left " + PathOf(relative) + " where it is: " + reason + ".");
    const std::optional<JournalAction> action = TransferAction(Options_->CopyAction());
    report_.entries.push_back(ReportEntry{action.value_or(JournalAction::Move), JournalOutcome::Skipped,
                                          fs::EntryKind::File, relative, {}, reason});
}

void cTidyfold::Settled(JournalAction action, const fs::Entry& seen, const std::string& relative,
                        const std::string& destination, const JournalResult& result) {
    ReportEntry entry{action, result.outcome, seen.kind, relative, {}, result.note};
    // Where an offloaded file is now: its own name, or the next free one.
    if (result.outcome == JournalOutcome::Done && Offloads(action))
        entry.where = result.destination.empty() ? destination : result.destination;
    report_.entries.push_back(std::move(entry));
}

// The pass yields while it scans and copies, so a collected file may have
// been used since, or replaced by a new file of the same name (an editor
// saves that way). Either is no longer old: it stays where it is, untouched.
bool cTidyfold::UsedSinceExamined(const fs::Entry& now) const {
    return !ageing::IsOlderThan(ageing::AgeInDays(clock_(), ageing::LastUseNs(now.times)), TimeLimit_);
}

fs::CopyProgress cTidyfold::ProgressRoutine() {
    return [this](std::uint64_t total, std::uint64_t transferred) {
        CopyProgressCallback(static_cast<std::int64_t>(total), static_cast<std::int64_t>(transferred), 0, 0, 0, 0, 0,
                             0, this);
    };
}

JournalResult cTidyfold::TransferFile(const CollectedFile& file, TransferFolders& folders) {
    const TransferMode mode = Options_->CopyAction();
    if (mode != TransferMode::CopyThenDelete && mode != TransferMode::Move && mode != TransferMode::Delete &&
        mode != TransferMode::Trash)
        return {JournalOutcome::Skipped, "", ""};  // an unknown mode leaves the file where it is
    const fs::OpenFolder* from = folders.Source(file);
    const std::optional<fs::Entry> now = from != nullptr ? from->Stat(file.seen.name) : std::nullopt;
    if (!now) {
        // Gone since the scan (the user may move files while the pass
        // yields): a copy or move reports it, a delete has nothing to do.
        if (mode == TransferMode::CopyThenDelete)
            LogFailedTransfer("File copy of " + PathOf(file.relative) + " FAILED.\r\n" + kGone);
        else if (mode == TransferMode::Move)
            LogFailedTransfer("Move of " + PathOf(file.relative) + " FAILED.\r\n" + kGone);
        return {mode == TransferMode::Delete || mode == TransferMode::Trash ? JournalOutcome::Skipped
                                                                            : JournalOutcome::Failed,
                "", kGone};
    }
    if (now->id != file.seen.id || UsedSinceExamined(*now)) {
        LogError("Left " + PathOf(file.relative) + " where it is: it was used or replaced since the scan.");
        return {JournalOutcome::Skipped, "", kUsedSinceScan};
    }
    // A plan carried out later reads the desktop's record again: a file
    // opened since the plan was made stays.
    if (const RecentUse* opened = KeptByRecord(from->Id(), now->name, TimeLimit_)) {
        LeaveOpened(file.relative, *opened);
        return {JournalOutcome::Skipped, "", kUsedSinceScan};
    }
    if (mode == TransferMode::CopyThenDelete)
        return CopyThenDelete(file, *from, *now, folders);
    if (mode == TransferMode::Move)
        return MoveToOffload(file, *from, *now, folders);
    if (mode == TransferMode::Trash)
        return SendToTrash(file, *from, *now);
    return DeleteInPlace(file, *from, *now);
}

JournalResult cTidyfold::DeleteInPlace(const CollectedFile& file, const fs::OpenFolder& from, const fs::Entry& now) {
    const std::string path = PathOf(file.relative);
    try {
        if (!from.RemoveListedFile(now, fs::Force::No)) {
            LogError("Left " + path + " where it is: it changed after it was looked at.");
            return {JournalOutcome::Skipped, "", kUsedSinceScan};
        }
        LogError("Deleted " + path + ".");
        return {};
    } catch (const Error& error) {
        // A write-protected file ends the pass, as designed; the log says
        // which and why.
        LogError("Could not delete " + path + "\r\n" + error.what());
        throw;
    }
}

JournalResult cTidyfold::CopyThenDelete(const CollectedFile& file, const fs::OpenFolder& from, const fs::Entry& now,
                                        TransferFolders& folders) {
    const std::string path = PathOf(file.relative);
    RaiseMovingFile(path);
    std::string why;
    const fs::OpenFolder* to = DestinationFor(file, now, folders, fs::Flush::Yes, why);
    if (to == nullptr) {
        LogFailedTransfer("File copy of " + path + " FAILED.\r\n" + why);
        return Failed(why);
    }
    if (!from.MakeWritable(now)) {
        LogFailedTransfer("File copy of " + path + " FAILED.");
        return Failed(kGone);
    }
    fs::Entry read;
    const fs::Outcome copied = fs::CopyEntry(from, now, *to, now.name, ProgressRoutine(), CopyCancelFlag(), &read);
    if (copied.error == ECANCELED && StopAsked()) {
        cutShort_ = true;
        return {JournalOutcome::Skipped, "", kStoppedWhileCopied};
    }
    if (!copied.Ok()) {
        LogFailedTransfer("File copy of " + path + " FAILED." + Because(copied));
        return Failed(WhyFailed(copied));
    }
    // The copy is durable before it returns, so the Desktop file may go, if
    // it is still on the Desktop and its name still leads to the very file
    // that was copied, unchanged.
    LogError("File copy of " + path + " succeeded." + OffloadedTo(*to, now.name, copied.placed));
    if (!folders.SourceInPlace()) {
        LogFailedTransfer("Could not move file: " + path + "\r\n" + kFolderMoved);
        return Failed(kFolderMoved);
    }
    const fs::Outcome removed = fs::RemoveCopiedSource(from, read, *to, copied.placed);
    if (removed.changed) {
        LogFailedTransfer("Could not move file: " + path + "\r\n" + kChangedAfterCopied);
        return Failed(kChangedAfterCopied);
    }
    if (removed.error != 0) {
        LogFailedTransfer("Could not move file: " + path + "\r\n" + SystemErrorText(removed.error));
        return Failed(kCopiedNotRemoved + SystemErrorText(removed.error));
    }
    return {JournalOutcome::Done, PlacedAs(file.relative, now.name, copied.placed), ""};
}

JournalResult cTidyfold::MoveToOffload(const CollectedFile& file, const fs::OpenFolder& from, const fs::Entry& now,
                                       TransferFolders& folders) {
    const std::string path = PathOf(file.relative);
    RaiseMovingFile(path);
    // A rename is ordered after the folder's creation by the file system's
    // journal; a move across file systems deletes its source after a copy,
    // so the folders it lands in must be on disk first.
    const bool across = now.id.device != folders.Offload().Id().device;
    std::string why;
    const fs::OpenFolder* to = DestinationFor(file, now, folders, across ? fs::Flush::Yes : fs::Flush::No, why);
    if (to == nullptr) {
        LogFailedTransfer("Move of " + path + " FAILED.\r\n" + why);
        return Failed(why);
    }
    if (!from.MakeWritable(now)) {
        LogFailedTransfer("Move of " + path + " FAILED.");
        return Failed(kGone);
    }
    // A move across file systems copies and yields: its folder may be moved
    // out of the Desktop meanwhile.
    const auto keepSource = [&folders] { return !folders.SourceInPlace(); };
    const fs::Outcome moved = fs::MoveEntry(from, now, *to, now.name, ProgressRoutine(), CopyCancelFlag(), keepSource);
    if (moved.error == ECANCELED && !moved.copied && StopAsked()) {
        cutShort_ = true;
        return {JournalOutcome::Skipped, "", kStoppedWhileCopied};
    }
    if (moved.Ok()) {
        LogError("Move of " + path + " succeeded." + OffloadedTo(*to, now.name, moved.placed));
        return {JournalOutcome::Done, PlacedAs(file.relative, now.name, moved.placed), ""};
    }
    if (moved.copied) {
        const char* kept = folders.SourceInPlace() ? kChangedAfterCopied : kFolderMoved;
        LogFailedTransfer("Could not move file: " + path + "\r\n" + kept + OffloadedTo(*to, now.name, moved.placed));
        return {JournalOutcome::Failed, PlacedAs(file.relative, now.name, moved.placed), kept};
    }
    LogFailedTransfer("Move of " + path + " FAILED." + Because(moved));
    return Failed(WhyFailed(moved));
}

JournalResult cTidyfold::SendToTrash(const CollectedFile& file, const fs::OpenFolder& from, const fs::Entry& now) {
    const std::string path = PathOf(file.relative);
    RaiseMovingFile(path);
    const fs::TrashOutcome trashed = fs::TrashEntry(from, now, HomeTrashFolder(), path, fs::TrashDate(clock_()));
    if (trashed.Ok()) {
        LogError("Sent " + path + " to the Trash.");
        return {};
    }
    // The file stays where it is, and says why.
    std::string why = trashed.systemMount
                          ? "File managers keep no Trash on its drive (a system mount such as / or tmpfs), so it "
                            "stays where it is."
                      : trashed.noTrash ? "Its file system has no Trash you can use."
                      : trashed.changed ? "It changed after it was looked at, so it stays on the Desktop."
                                        : SystemErrorText(trashed.error);
    LogFailedTransfer("Sending " + path + " to the Trash FAILED.\r\n" + why);
    return Failed(why);
}

}  // namespace tidyfold
