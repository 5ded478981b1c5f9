#pragma once

// The rows of the Preview window: one per change of a Clean Desktop plan,
// each with a check box, checked to begin with. Model/view: a Desktop of a
// hundred thousand files is the plan's vector and one byte per row.

#include <QAbstractTableModel>
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

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void CheckedChanged();

private:
    QVariant Text(const PlanEntry& entry, int column) const;

    const CleanPlan& plan_;
    std::vector<char> marks_;
    std::size_t checked_ = 0;
};

// What a plan's action is called in the window.
QString PlanActionText(JournalAction action);

}  // namespace tidyfold::ui
