#include "ui/PreviewModel.h"

#include <strings.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

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
    : QAbstractTableModel(parent),
      plan_(plan),
      marks_(plan.entries.size(), 1),
      staying_(plan.entries.size(), 0),
      checked_(plan.entries.size())
{
    // Archives lie directly on the Desktop, as the folders beside them.
    std::unordered_map<std::string_view, std::size_t> topFiles;
    for (std::size_t row = 0; row < plan.entries.size(); ++row) {
        const PlanEntry& entry = plan.entries[row];
        ++planned_[static_cast<std::size_t>(entry.action)];
        if (entry.action == JournalAction::RemoveEmptyFolder)
            folders_.push_back(row);
        else if (IsTransfer(entry.action) && entry.relative.find('/') == std::string::npos)
            topFiles.emplace(entry.relative, row);
    }
    for (std::size_t row = 0; row < plan.entries.size(); ++row)
        if (plan.entries[row].action == JournalAction::RemoveUnpackedFolder)
            if (const auto archive = topFiles.find(plan.entries[row].archive); archive != topFiles.end())
                archives_.emplace_back(row, archive->second);
    FollowChecks();
}

std::vector<bool> PreviewModel::Chosen() const { return std::vector<bool>(marks_.begin(), marks_.end()); }

std::size_t PreviewModel::Happening(JournalAction action) const
{
    return happening_[static_cast<std::size_t>(action)];
}

void PreviewModel::FollowChecks()
{
    // Every folder above an entry left unchecked keeps it, and so is not
    // empty when its turn comes.
    std::unordered_set<std::string_view> keeping;
    if (checked_ < marks_.size() && !folders_.empty()) {
        for (std::size_t row = 0; row < marks_.size(); ++row) {
            if (marks_[row] != 0)
                continue;
            std::string_view path = plan_.entries[row].relative;
            for (std::size_t slash = path.rfind('/'); slash != std::string_view::npos; slash = path.rfind('/')) {
                path = path.substr(0, slash);
                if (!keeping.insert(path).second)
                    break;  // and every folder above it, already
            }
        }
    }
    for (const std::size_t row : folders_)
        staying_[row] = marks_[row] != 0 && keeping.count(plan_.entries[row].relative) != 0 ? 1 : 0;
    // Everything checked, as at first: the plan's own counts, without a
    // look at each of a hundred thousand entries.
    if (checked_ == marks_.size()) {
        happening_ = planned_;
    } else {
        happening_.fill(0);
        for (std::size_t row = 0; row < marks_.size(); ++row)
            if (marks_[row] != 0 && staying_[row] == 0)
                ++happening_[static_cast<std::size_t>(plan_.entries[row].action)];
    }
    // One notice for the column: the view repaints the rows it shows.
    if (!marks_.empty() && (!folders_.empty() || !archives_.empty()))
        emit dataChanged(index(0, Action), index(rowCount() - 1, Action), {Qt::DisplayRole, Qt::ToolTipRole});
}

void PreviewModel::SetAllChecked(bool checked)
{
    std::fill(marks_.begin(), marks_.end(), checked ? 1 : 0);
    checked_ = checked ? marks_.size() : 0;
    if (!marks_.empty())
        emit dataChanged(index(0, Name), index(rowCount() - 1, Name), {Qt::CheckStateRole});
    FollowChecks();
    emit CheckedChanged();
}

int PreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(plan_.entries.size());
}

int PreviewModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString PreviewModel::ActionText(std::size_t row) const
{
    const PlanEntry& entry = plan_.entries[row];
    if (staying_[row] != 0)
        return Tr("stays: it holds what is left unchecked");
    // What the drive cannot hold is told before anything moves.
    if (entry.unfit)
        return Tr("%1: stays on the Desktop, %2")
            .arg(PlanActionText(entry.action), QString::fromStdString(UnfitReason(entry.unfit)));
    // The folder is compared with its archive before any file goes; where
    // the archive then goes, nothing of the folder may be left.
    for (const auto& [folder, archive] : archives_) {
        if (folder != row || marks_[archive] == 0)
            continue;
        if (plan_.entries[archive].action == JournalAction::Delete)
            return Tr("%1; its archive is deleted too").arg(PlanActionText(entry.action));
        if (plan_.entries[archive].action == JournalAction::SendToTrash)
            return Tr("%1; its archive goes to the Trash").arg(PlanActionText(entry.action));
    }
    return PlanActionText(entry.action);
}

QVariant PreviewModel::Text(std::size_t row, int column) const
{
    const PlanEntry& entry = plan_.entries[row];
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
            return ActionText(row);
        case Destination:
            return entry.destination.empty() ? QString() : PathText(fs::JoinPath(plan_.offload, entry.destination));
        default:
            return {};
    }
}

bool PreviewModel::Less(std::size_t row, std::size_t other, int column) const
{
    const PlanEntry& a = plan_.entries[row];
    const PlanEntry& b = plan_.entries[other];
    // Folders have no last use and no size of their own: they come first.
    const auto folder = [](const PlanEntry& e) { return e.seen.kind == fs::EntryKind::Folder; };
    switch (column) {
        case LastUse:
            if (folder(a) != folder(b))
                return folder(a);
            if (a.lastUse.ns != b.lastUse.ns)
                return a.lastUse.ns < b.lastUse.ns;
            break;
        case Size:
            if (folder(a) != folder(b))
                return folder(a);
            if (a.seen.size != b.seen.size)
                return a.seen.size < b.seen.size;
            break;
        case Action:
            if (a.action != b.action)
                return a.action < b.action;
            break;
        case Destination:
            if (a.destination != b.destination)
                return a.destination < b.destination;
            break;
        default:
            break;
    }
    // By name within equals, letters before case.
    const int folded = strcasecmp(a.relative.c_str(), b.relative.c_str());
    return folded != 0 ? folded < 0 : a.relative < b.relative;
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const std::size_t row = Entry(index.row());
    if (role == Qt::AccessibleTextRole)
        return AccessibleCellText(data(index, Qt::DisplayRole).toString());
    if (role == Qt::CheckStateRole && index.column() == Name)
        return marks_[row] != 0 ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole && index.column() == Size)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == LastUse && plan_.entries[row].seen.kind != fs::EntryKind::Folder)
        return UseExplained(plan_.entries[row].lastUse);
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return Text(row, index.column());
    return {};
}

bool PreviewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != Name || role != Qt::CheckStateRole)
        return false;
    char& row = marks_[Entry(index.row())];
    const char now = value.toInt() == Qt::Checked ? 1 : 0;
    if (row == now)
        return true;
    row = now;
    checked_ = now != 0 ? checked_ + 1 : checked_ - 1;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    FollowChecks();
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

void PreviewModel::sort(int column, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The view's current row and selection stay with their entries.
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> entries;
    entries.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        entries.push_back(Entry(index.row()));
    if (column < 0 || column >= ColumnCount) {
        order_.clear();
    } else {
        order_.resize(plan_.entries.size());
        std::iota(order_.begin(), order_.end(), 0U);
        std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
            return order == Qt::AscendingOrder ? Less(a, b, column) : Less(b, a, column);
        });
    }
    std::vector<int> rowOf;
    if (!order_.empty()) {
        rowOf.resize(order_.size());
        for (std::size_t row = 0; row < order_.size(); ++row)
            rowOf[order_[row]] = static_cast<int>(row);
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(rowOf.empty() ? static_cast<int>(entries[static_cast<std::size_t>(i)])
                                     : rowOf[entries[static_cast<std::size_t>(i)]],
                       before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace tidyfold::ui
