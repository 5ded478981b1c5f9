#include "ui/PreviewModel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

#include "engine/Ageing.h"
#include "engine/Unfit.h"
#include "fs/FileSystem.h"
#include "ui/Text.h"

namespace tidyfold::ui {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("Preview", text); }

QString UseDate(const ageing::LastUse& use)
{
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(use.ns / ageing::kNsPerSecond), QLocale::ShortFormat);
}

// Which time gave the last use, in a word or two for the column.
QString UseSource(const ageing::LastUse& use)
{
    switch (use.from) {
        case ageing::LastUseFrom::Changed:
            return Tr("changed");
        case ageing::LastUseFrom::Read:
            return Tr("read");
        case ageing::LastUseFrom::StatusChanged:
            return Tr("status changed");
        case ageing::LastUseFrom::Opened:
            return use.application.empty() ? Tr("opened in an application")
                                           : Tr("opened in %1").arg(QString::fromStdString(use.application));
    }
    return {};
}

// The same as a sentence, for the tooltip.
QString UseExplained(const ageing::LastUse& use)
{
    switch (use.from) {
        case ageing::LastUseFrom::Changed:
            return Tr("Last written on %1 (its modification time).").arg(UseDate(use));
        case ageing::LastUseFrom::Read:
            return Tr("Last read on %1 (its access time).").arg(UseDate(use));
        case ageing::LastUseFrom::StatusChanged:
            return Tr("Last moved, renamed or given other permissions on %1 (its status change time).")
                .arg(UseDate(use));
        case ageing::LastUseFrom::Opened:
            return (use.application.empty()
                        ? Tr("Last opened in an application on %1, as the desktop's record of opened files says.")
                        : Tr("Last opened in %2 on %1, as the desktop's record of opened files says.")
                              .arg(QString::fromStdString(use.application)))
                .arg(UseDate(use));
    }
    return {};
}

}  // namespace

QString PlanActionText(JournalAction action)
{
    switch (action) {
        case JournalAction::CopyThenDelete:
            return Tr("copy then delete");
        case JournalAction::Move:
            return Tr("move");
        case JournalAction::Delete:
            return Tr("delete");
        case JournalAction::SendToTrash:
            return Tr("send to the Trash");
        case JournalAction::DeleteEmptyFile:
            return Tr("delete empty file");
        case JournalAction::RemoveUnpackedFolder:
            return Tr("remove unpacked folder");
        case JournalAction::RemoveEmptyFolder:
            return Tr("remove empty folder");
        case JournalAction::Restore:
            return Tr("put back");
    }
    return {};
}

PreviewModel::PreviewModel(const CleanPlan& plan, QObject* parent)
    : QAbstractTableModel(parent), plan_(plan), marks_(plan.entries.size(), 1), checked_(plan.entries.size())
{
}

std::vector<bool> PreviewModel::Chosen() const { return std::vector<bool>(marks_.begin(), marks_.end()); }

void PreviewModel::SetAllChecked(bool checked)
{
    std::fill(marks_.begin(), marks_.end(), checked ? 1 : 0);
    checked_ = checked ? marks_.size() : 0;
    if (!marks_.empty())
        emit dataChanged(index(0, Name), index(rowCount() - 1, Name), {Qt::CheckStateRole});
    emit CheckedChanged();
}

int PreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(plan_.entries.size());
}

int PreviewModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant PreviewModel::Text(const PlanEntry& entry, int column) const
{
    const bool folder = entry.seen.kind == fs::EntryKind::Folder;
    switch (column) {
        case Name:
            return PathText(entry.relative);
        case LastUse:
            if (folder)
                return {};
            return Tr("%1 (%2)").arg(UseDate(entry.lastUse), UseSource(entry.lastUse));
        case Size:
            return folder ? QString() : QLocale().formattedDataSize(static_cast<qint64>(entry.seen.size));
        case Action:
            // What the drive cannot hold is told before anything moves.
            if (entry.unfit)
                return Tr("%1: stays on the Desktop, %2")
                    .arg(PlanActionText(entry.action), QString::fromStdString(UnfitReason(entry.unfit)));
            return PlanActionText(entry.action);
        case Destination:
            return entry.destination.empty() ? QString() : PathText(fs::JoinPath(plan_.offload, entry.destination));
        default:
            return {};
    }
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::AccessibleTextRole)
        return AccessibleCellText(data(index, Qt::DisplayRole).toString());
    if (role == Qt::CheckStateRole && index.column() == Name)
        return marks_[row] != 0 ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole && index.column() == Size)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == LastUse && plan_.entries[row].seen.kind != fs::EntryKind::Folder)
        return UseExplained(plan_.entries[row].lastUse);
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return Text(plan_.entries[row], index.column());
    return {};
}

bool PreviewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != Name || role != Qt::CheckStateRole)
        return false;
    char& row = marks_[static_cast<std::size_t>(index.row())];
    const char now = value.toInt() == Qt::Checked ? 1 : 0;
    if (row == now)
        return true;
    row = now;
    checked_ = now != 0 ? checked_ + 1 : checked_ - 1;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit CheckedChanged();
    return true;
}

Qt::ItemFlags PreviewModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == Name)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
        case Name:
            return Tr("Name on the Desktop");
        case LastUse:
            return Tr("Last use");
        case Size:
            return Tr("Size");
        case Action:
            return Tr("Action");
        case Destination:
            return Tr("Destination");
        default:
            return {};
    }
}

}  // namespace tidyfold::ui
