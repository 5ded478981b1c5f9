#pragma once

// The rows of the Preview window: one per change of a Clean Desktop plan,
// each with a check box, checked to begin with. Model/view: a Desktop of a
// hundred thousand files is the plan's vector and a few bytes per row.
//
// The rows follow the check boxes as the pass would: an empty folder that
// would keep something left unchecked stays, and says so; the counts of
// what would happen are of the rows that would.

#include <QAbstractTableModel>
#include <array>
#include <cstdint>
#include <vector>

#include "engine/Plan.h"

namespace tidyfold::ui {

class PreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, LastUse, Size, Action, Destination, ColumnCount };

    explicit PreviewModel(const CleanPlan& plan, QObject* parent = nullptr);

    // One value per entry of the plan.
    std::vector<bool> Chosen() const;
    std::size_t CheckedCount() const { return checked_; }
    void SetAllChecked(bool checked);
    // How many rows of action would be carried out as the boxes are now:
    // checked, and for an empty folder not kept by what stays in it.
    std::size_t Happening(JournalAction action) const;
    // Whether entry of the plan comes before other in column (ascending),
    // by the plan's own values: no text is made to sort.
    bool Less(std::size_t entry, std::size_t other, int column) const;
    // Sorts the rows by column, or puts them back in the plan's order for
    // -1. The check boxes stay with their entries.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void CheckedChanged();

private:
    // The entry of the plan a row shows.
    std::size_t Entry(int row) const { return order_.empty() ? static_cast<std::size_t>(row) : order_[row]; }
    QVariant Text(std::size_t entry, int column) const;
    QString ActionText(std::size_t entry) const;
    // Works out again which folders stay and what would happen, and tells
    // the view of the rows whose action reads otherwise now.
    void FollowChecks();

    const CleanPlan& plan_;
    std::vector<char> marks_;
    std::vector<char> staying_;
    std::size_t checked_ = 0;
    std::array<std::size_t, 8> happening_{};
    std::array<std::size_t, 8> planned_{};  // every row, by action
    // The entries in the order the rows show them; empty for the plan's own.
    std::vector<std::uint32_t> order_;
    // The rows of empty folders, and of unpacked folders with the row of
    // their archive when it is in the plan too.
    std::vector<std::size_t> folders_;
    std::vector<std::pair<std::size_t, std::size_t>> archives_;
};

// What a plan's action is called in the window.
QString PlanActionText(JournalAction action);

}  // namespace tidyfold::ui
