#include "ui/HistoryModels.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

#include "ui/ReportText.h"
#include "ui/Text.h"

namespace tidyfold::ui {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("History", text); }

QString WhenText(std::int64_t seconds)
{
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds), QLocale::ShortFormat);
}

}  // namespace

QString PassWhat(const history::PassRecord& pass) { return OperationTitle(pass.kind, pass.mode, pass.undoes); }

QString PassWhen(const history::PassRecord& pass) { return WhenText(pass.started); }

QString PassStartedBy(const history::PassRecord& pass)
{
    switch (pass.origin) {
        case history::PassOrigin::Window:
            return Tr("window");
        case history::PassOrigin::CommandLine:
            return Tr("command line");
        case history::PassOrigin::Schedule:
            return Tr("schedule");
        case history::PassOrigin::Unknown:
            break;
    }
    return Tr("not recorded");
}

QString PassCounts(const history::PassRecord& pass)
{
    if (pass.notDone == 0)
        return Tr("%1 done").arg(pass.done);
    return Tr("%1 done, %2 not done").arg(pass.done).arg(pass.notDone);
}

namespace {

QString EndedAs(const history::PassRecord& pass)
{
    const QString error = QString::fromStdString(pass.error);
    switch (pass.ending) {
        case history::PassEnding::Running:
            return Tr("Running");
        case history::PassEnding::Completed:
            return EndingText(Ending::Completed, pass.collected, pass.processed, error);
        case history::PassEnding::Stopped:
            return EndingText(Ending::Stopped, pass.collected, pass.processed, error);
        case history::PassEnding::Failed:
            return EndingText(Ending::Failed, pass.collected, pass.processed, error);
        case history::PassEnding::Interrupted:
            return Tr("Interrupted");
    }
    return {};
}

// What a restore undid, as the pass that did it would say it.
QString Undid(const history::ActionRecord& action)
{
    const std::int64_t pass = action.undoes >> 32;
    switch (action.undid.value_or(history::ActionKind::Restore)) {
        case history::ActionKind::CopyThenDelete:
            return Tr("Put back: copy of pass %1").arg(pass);
        case history::ActionKind::Move:
            return Tr("Put back: move of pass %1").arg(pass);
        case history::ActionKind::RemoveEmptyFolder:
            return Tr("Made again: empty folder of pass %1").arg(pass);
        case history::ActionKind::DeleteEmptyFile:
        case history::ActionKind::Delete:
            return Tr("Made again: empty file of pass %1").arg(pass);
        case history::ActionKind::RemoveUnpackedFolder:
            return Tr("Unpacked again: folder of pass %1").arg(pass);
        default:
            return Tr("Put back: from pass %1").arg(pass);
    }
}

}  // namespace

QString PassEnded(const history::PassRecord& pass)
{
    const QString ended = EndedAs(pass);
    return pass.undoneBy == 0 ? ended : Tr("%1, undone by pass %2").arg(ended).arg(pass.undoneBy);
}

QString ActionWhat(const history::ActionRecord& action)
{
    switch (action.kind) {
        case history::ActionKind::CopyThenDelete:
            return Tr("Copy then delete");
        case history::ActionKind::Move:
            return Tr("Move");
        case history::ActionKind::Delete:
            return Tr("Delete");
        case history::ActionKind::SendToTrash:
            return Tr("Send to the Trash");
        case history::ActionKind::DeleteEmptyFile:
            return Tr("Delete empty file");
        case history::ActionKind::RemoveUnpackedFolder:
            return Tr("Remove unpacked folder");
        case history::ActionKind::RemoveEmptyFolder:
            return Tr("Remove empty folder");
        case history::ActionKind::Restore:
            return action.undoes != 0 ? Undid(action) : Tr("Put back");
    }
    return {};
}

QString ActionOutcomeText(const history::ActionRecord& action)
{
    QString text;
    switch (action.outcome) {
        case history::ActionOutcome::Pending:
            text = Tr("Under way");
            break;
        case history::ActionOutcome::Done:
            text = Tr("Done");
            break;
        case history::ActionOutcome::Failed:
            text = Tr("Failed");
            break;
        case history::ActionOutcome::Skipped:
            text = Tr("Left alone");
            break;
        case history::ActionOutcome::Interrupted:
            text = Tr("Not done (interrupted)");
            break;
    }
    if (action.restoredBy != 0) {
        if (action.kind == history::ActionKind::RemoveUnpackedFolder)
            return Tr("%1, unpacked again by pass %2").arg(text).arg(action.restoredBy);
        if (action.RemovedEmpty())
            return Tr("%1, made again by pass %2").arg(text).arg(action.restoredBy);
        return Tr("%1, put back by pass %2").arg(text).arg(action.restoredBy);
    }
    // Undo does not reach into the Trash; the desktop's own Trash window
    // puts such files back.
    if (action.outcome == history::ActionOutcome::Done && action.kind == history::ActionKind::SendToTrash)
        return Tr("%1, cannot be undone here: restore it from the Trash").arg(text);
    if (action.outcome == history::ActionOutcome::Done && action.CannotBeUndone())
        return Tr("%1, cannot be undone").arg(text);
    return text;
}

void PassesModel::SetPasses(std::vector<history::PassRecord> passes)
{
    beginResetModel();
    passes_ = std::move(passes);
    endResetModel();
}

const history::PassRecord* PassesModel::PassAt(int row) const
{
    return row >= 0 && row < static_cast<int>(passes_.size()) ? &passes_[static_cast<std::size_t>(row)] : nullptr;
}

int PassesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(passes_.size());
}

int PassesModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant PassesModel::data(const QModelIndex& index, int role) const
{
    const history::PassRecord* pass = PassAt(index.row());
    if (pass != nullptr && role == Qt::AccessibleTextRole)
        return AccessibleCellText(data(index, Qt::DisplayRole).toString());
    if (pass == nullptr || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    switch (index.column()) {
        case Number:
            return QString::number(pass->id);
        case When:
            return PassWhen(*pass);
        case What:
            return PassWhat(*pass);
        case StartedBy:
            return PassStartedBy(*pass);
        case HowMany:
            return PassCounts(*pass);
        case HowItEnded:
            return PassEnded(*pass);
        default:
            return {};
    }
}

QVariant PassesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
        case Number:
            return Tr("Pass");
        case When:
            return Tr("When");
        case What:
            return Tr("What");
        case StartedBy:
            return Tr("Started by");
        case HowMany:
            return Tr("How many");
        case HowItEnded:
            return Tr("How it ended");
        default:
            return {};
    }
}

void ActionsModel::SetActions(std::vector<history::ActionRecord> actions)
{
    beginResetModel();
    actions_ = std::move(actions);
    endResetModel();
}

const history::ActionRecord* ActionsModel::ActionAt(int row) const
{
    return row >= 0 && row < static_cast<int>(actions_.size()) ? &actions_[static_cast<std::size_t>(row)] : nullptr;
}

int ActionsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(actions_.size());
}

int ActionsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ActionsModel::data(const QModelIndex& index, int role) const
{
    const history::ActionRecord* action = ActionAt(index.row());
    if (action == nullptr)
        return {};
    if (role == Qt::AccessibleTextRole)
        return AccessibleCellText(data(index, Qt::DisplayRole).toString());
    if (role == Qt::TextAlignmentRole && index.column() == Size)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
        case Action:
            return ActionWhat(*action);
        case Name:
            return PathText(action->relative);
        case Destination:
            return PathText(action->destination);
        case Size:
            return action->entry == fs::EntryKind::Folder ? QString() : QLocale().formattedDataSize(
                                                                            static_cast<qint64>(action->size));
        case Outcome:
            return ActionOutcomeText(*action);
        case Note:
            return QString::fromStdString(action->note);
        default:
            return {};
    }
}

QVariant ActionsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
        case Action:
            return Tr("Action");
        case Name:
            return Tr("Name on the Desktop");
        case Destination:
            return Tr("In the offload folder");
        case Size:
            return Tr("Size");
        case Outcome:
            return Tr("Outcome");
        case Note:
            return Tr("Note");
        default:
            return {};
    }
}

}  // namespace tidyfold::ui
