#include "ui/ReportText.h"

#include <QCoreApplication>

#include "engine/Plan.h"
#include "fs/FileSystem.h"
#include "history/Restore.h"
#include "ui/Text.h"

namespace tidyfold::ui {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("Report", text); }

// "1 file" or "3 files": Tidyfold's own sentences count right (the lines a
// Desktop clean has always shown keep their words).
QString Counted(std::int32_t count, const char* one, const char* many)
{
    return count == 1 ? Tr(one) : Tr(many).arg(count);
}

QString FullPath(const std::string& root, const std::string& relative)
{
    return PathText(relative.empty() ? root : fs::JoinPath(root, relative));
}

QString Reason(const std::string& reason) { return QString::fromStdString(reason); }

// Where the files of a Desktop clean went.
QString WhereFilesWent(const PassReport& report)
{
    switch (report.mode.value_or(TransferMode::CopyThenDelete)) {
        case TransferMode::CopyThenDelete:
        case TransferMode::Move:
            return Tr("Offload folder: %1").arg(PathText(report.offload));
        case TransferMode::Delete:
            return Tr("Files were deleted.");
        case TransferMode::Trash:
            return Tr("Files were sent to the Trash.");
    }
    return Tr("Files were left where they are.");  // a mode the settings file names but no one knows
}

QString StoppedLine(std::int32_t collected, std::int32_t processed)
{
    if (collected == 0)
        return Tr("Stopped before any file was processed.");
    return Tr("Stopped: %1 of %2 files processed.").arg(processed).arg(collected);
}

QString EndedByErrorLine(const PassReport& report)
{
    if (report.collected == 0)
        return Tr("Ended by an error before any file was processed.");
    return Tr("Ended by an error: %1 of %2 files processed.").arg(report.processed).arg(report.collected);
}

// What a pass did beyond the lines a Desktop clean has always shown.
void AddOutcomes(const PassReport& report, const QString& logHint, QStringList& lines)
{
    if (const std::int32_t n = report.Count(JournalAction::DeleteEmptyFile, JournalOutcome::Done); n > 0)
        lines << Counted(n, "1 empty file deleted.", "%1 empty files deleted.");
    if (const std::int32_t n = report.Count(JournalAction::RemoveUnpackedFolder, JournalOutcome::Skipped); n > 0)
        lines << Counted(n, "1 unpacked folder kept beside its archive", "%1 unpacked folders kept beside their archives") +
                     logHint;
    if (const std::int32_t n = report.Count(JournalAction::RemoveEmptyFolder, JournalOutcome::Done); n > 0)
        lines << Counted(n, "1 empty folder removed.", "%1 empty folders removed.");
    if (const std::int32_t n = report.Transfers(JournalOutcome::Skipped); n > 0)
        lines << Counted(n, "1 file left where it is", "%1 files left where they are") + logHint;
    if (const std::int32_t n = report.Transfers(JournalOutcome::Failed); n > 0)
        lines << Counted(n, "1 file could not be copied or moved", "%1 files could not be copied or moved") + logHint;
}

QStringList CleanDesktopLines(const PassReport& report, const QString& logHint)
{
    QStringList lines;
    switch (report.ending) {
        case Ending::Completed:
            lines << Tr("Desktop Cleaning Complete!");
            break;
        case Ending::Stopped:
            lines << StoppedLine(report.collected, report.processed);
            break;
        case Ending::Failed:
            lines << EndedByErrorLine(report);
            break;
    }
    if (report.unpackedStep)
        lines << Tr("%1 uncompressed folders removed")
                     .arg(report.Count(JournalAction::RemoveUnpackedFolder, JournalOutcome::Done));
    if (report.ending == Ending::Completed)
        lines << Tr("%1 files processed.").arg(report.collected);
    if (report.processed > 0)
        lines << WhereFilesWent(report);
    AddOutcomes(report, logHint, lines);
    return lines;
}

// A restore that made its entry again rather than moving it back.
bool Remade(const ReportEntry& entry)
{
    return entry.undid != JournalAction::CopyThenDelete && entry.undid != JournalAction::Move;
}

bool NameTaken(const ReportEntry& entry)
{
    return entry.reason == history::kTakenOnDesktop || entry.reason == history::kNameTakenOnDesktop;
}

QStringList UndoLines(const PassReport& report)
{
    std::int32_t restored = 0, folders = 0, files = 0, unpacked = 0;
    std::int32_t taken = 0, remadeTaken = 0, missing = 0, failed = 0;
    for (const ReportEntry& entry : report.entries) {
        if (entry.action != JournalAction::Restore)
            continue;
        if (entry.outcome == JournalOutcome::Done) {
            if (!Remade(entry))
                ++restored;
            else if (entry.undid == JournalAction::RemoveUnpackedFolder)
                ++unpacked;
            else
                ++(entry.kind == fs::EntryKind::Folder ? folders : files);
        } else if (NameTaken(entry)) {
            ++(Remade(entry) ? remadeTaken : taken);
        } else if (entry.outcome == JournalOutcome::Skipped && !Remade(entry)) {
            ++missing;
        } else {
            ++failed;
        }
    }
    QStringList lines{Tr("Put back: %1.").arg(Counted(restored, "1 file", "%1 files"))};
    if (folders > 0 || files > 0) {
        QStringList made;
        if (folders > 0)
            made << Counted(folders, "1 empty folder", "%1 empty folders");
        if (files > 0)
            made << Counted(files, "1 empty file", "%1 empty files");
        lines << Tr("Made again: %1.").arg(made.join(Tr(" and ")));
    }
    if (unpacked > 0)
        lines << Tr("Unpacked again from their archives: %1.").arg(Counted(unpacked, "1 folder", "%1 folders"));
    if (report.emptiedFolders > 0)
        lines << Tr("Removed from the offload folder, now empty: %1.")
                     .arg(Counted(report.emptiedFolders, "1 folder", "%1 folders"));
    if (taken > 0)
        lines << Tr("Left in the offload folder, since their names are taken on the Desktop: %1.")
                     .arg(Counted(taken, "1 file", "%1 files"));
    if (remadeTaken > 0)
        lines << Tr("Not made again, since their names are taken on the Desktop: %1.").arg(remadeTaken);
    if (missing > 0)
        lines << Tr("No longer in the offload folder as the pass left them: %1.")
                     .arg(Counted(missing, "1 file", "%1 files"));
    if (failed > 0)
        lines << Tr("Not put back, for the reasons the list gives: %1.").arg(failed);
    return lines;
}

// What failing at an action is called: "Could not move ...".
QString CouldNot(JournalAction action)
{
    switch (action) {
        case JournalAction::CopyThenDelete:
            return Tr("Could not copy %1 and delete it from the Desktop: %2");
        case JournalAction::Move:
            return Tr("Could not move %1: %2");
        case JournalAction::Delete:
            return Tr("Could not delete %1: %2");
        case JournalAction::SendToTrash:
            return Tr("Could not send %1 to the Trash: %2");
        case JournalAction::DeleteEmptyFile:
            return Tr("Could not delete the empty file %1: %2");
        case JournalAction::RemoveUnpackedFolder:
            return Tr("Could not remove the unpacked folder %1: %2");
        case JournalAction::RemoveEmptyFolder:
            return Tr("Could not remove the empty folder %1: %2");
        case JournalAction::Restore:
            return Tr("Could not put back %1: %2");
    }
    return Tr("Could not change %1: %2");
}

QString RestoredLine(const ReportEntry& entry, const QString& path, const QString& where)
{
    if (!Remade(entry))
        return Tr("Put back %1 from %2.").arg(path, where);
    if (entry.undid == JournalAction::RemoveUnpackedFolder)
        return Tr("Unpacked %1 again: %2").arg(path, Reason(entry.reason));
    if (entry.kind == fs::EntryKind::Folder)
        return Tr("Made the empty folder %1 again.").arg(path);
    return Tr("Made the empty file %1 again.").arg(path);
}

QString DoneLine(const PassReport& report, const ReportEntry& entry)
{
    const QString path = FullPath(report.desktop, entry.relative);
    const QString where = FullPath(report.offload, entry.where);
    switch (entry.action) {
        case JournalAction::CopyThenDelete:
            return Tr("Copied %1 to %2, then deleted it from the Desktop.").arg(path, where);
        case JournalAction::Move:
            return Tr("Moved %1 to %2.").arg(path, where);
        case JournalAction::Delete:
            return Tr("Deleted %1.").arg(path);
        case JournalAction::SendToTrash:
            return Tr("Sent %1 to the Trash.").arg(path);
        case JournalAction::DeleteEmptyFile:
            return Tr("Deleted the empty file %1.").arg(path);
        case JournalAction::RemoveUnpackedFolder:
            return Tr("Removed the unpacked folder %1: its archive holds all of it.").arg(path);
        case JournalAction::RemoveEmptyFolder:
            return Tr("Removed the empty folder %1.").arg(path);
        case JournalAction::Restore:
            return RestoredLine(entry, path, where);
    }
    return path;
}

QString EntryLine(const PassReport& report, const ReportEntry& entry)
{
    const QString path = FullPath(report.desktop, entry.relative);
    switch (entry.outcome) {
        case JournalOutcome::Done:
            return DoneLine(report, entry);
        case JournalOutcome::Failed:
            return CouldNot(entry.action).arg(path, Reason(entry.reason));
        case JournalOutcome::Skipped:
            break;
    }
    if (entry.action == JournalAction::RemoveUnpackedFolder)
        return Tr("Kept the unpacked folder %1: %2").arg(path, Reason(entry.reason));
    if (entry.action == JournalAction::Restore)
        return Tr("Did not put back %1: %2").arg(path, Reason(entry.reason));
    return Tr("Left %1 where it is: %2").arg(path, Reason(entry.reason));
}

}  // namespace

QString ModeName(std::optional<int> mode)
{
    switch (mode.value_or(-1)) {
        case 0:
            return Tr("copy, then delete");
        case 1:
            return Tr("move");
        case 2:
            return Tr("delete");
        case 3:
            return Tr("send to the Trash");
        default:
            return Tr("leave in place");
    }
}

QString OperationTitle(Operation operation, std::optional<int> mode, std::int64_t undoes)
{
    switch (operation) {
        case Operation::CleanDesktop:
            return mode ? Tr("Clean Desktop (%1)").arg(ModeName(mode)) : Tr("Clean Desktop");
        case Operation::CleanUncompressed:
            return Tr("Clean Uncompressed Folders");
        case Operation::RemoveEmptyFolders:
            return Tr("Remove Empty Folders");
        case Operation::Undo:
            return Tr("Undo of pass %1").arg(undoes);
    }
    return {};
}

QString EndingText(Ending ending, std::optional<std::int32_t> collected, std::optional<std::int32_t> processed,
                   const QString& error)
{
    switch (ending) {
        case Ending::Completed:
            return Tr("Completed");
        case Ending::Stopped:
            return collected && processed ? StoppedLine(*collected, *processed) : Tr("Stopped");
        case Ending::Failed:
            return error.isEmpty() ? Tr("Failed") : Tr("Failed: %1").arg(error);
    }
    return {};
}

QStringList ResultLines(const PassReport& report, const QString& logHint)
{
    switch (report.operation) {
        case Operation::CleanDesktop:
            return CleanDesktopLines(report, logHint);
        case Operation::CleanUncompressed: {
            QStringList lines{Tr("Uncompressed folders removed! (%1)")
                                  .arg(report.Count(JournalAction::RemoveUnpackedFolder, JournalOutcome::Done))};
            if (report.ending == Ending::Stopped)
                lines << Tr("Stopped before every folder was checked.");
            AddOutcomes(report, logHint, lines);
            return lines;
        }
        case Operation::RemoveEmptyFolders: {
            QStringList lines{Tr("Emptiy folders cleaned up!")};
            AddOutcomes(report, logHint, lines);
            return lines;
        }
        case Operation::Undo:
            return UndoLines(report);
    }
    return {};
}

QStringList FailureLines(const PassReport& report)
{
    QStringList lines;
    for (const ReportEntry* entry : report.Failures())
        lines << EntryLine(report, *entry);
    return lines;
}

QStringList LogLines(const PassReport& report)
{
    QStringList lines;
    for (const ReportEntry& entry : report.entries)
        lines << EntryLine(report, entry);
    for (const std::string& notice : report.notices)
        lines << QString::fromStdString(notice);
    if (report.error)
        lines << Tr("The pass ended with an error: %1").arg(ErrorText(*report.error).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    if (report.unrecorded)
        lines << Tr("The history could not record the end of the pass: %1")
                     .arg(ErrorText(*report.unrecorded).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    return lines;
}

std::optional<Notice> NotificationOf(const std::vector<PassReport>& reports)
{
    std::int32_t went = 0;
    std::int32_t failed = 0;
    const Error* error = nullptr;
    for (const PassReport& report : reports) {
        went += report.Transfers(JournalOutcome::Done);
        failed += report.Transfers(JournalOutcome::Failed);
        if (report.error && error == nullptr)
            error = &*report.error;
    }
    if (went == 0 && failed == 0 && error == nullptr)
        return std::nullopt;
    QString body = Counted(went, "1 file taken off the Desktop.", "%1 files taken off the Desktop.");
    if (failed > 0)
        body += QLatin1Char(' ') + Counted(failed, "1 could not be moved.", "%1 could not be moved.");
    if (error != nullptr) {
        const QString why = ErrorText(*error).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return Notice{Tr("Tidyfold could not finish cleaning the Desktop"),
                      went == 0 && failed == 0 ? why : body + QLatin1Char(' ') + why};
    }
    return Notice{Tr("Tidyfold cleaned the Desktop"), body};
}

}  // namespace tidyfold::ui
