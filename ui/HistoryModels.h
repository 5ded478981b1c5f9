#pragma once

// The tables of the History window: passes, newest first, and the actions
// of one pass. Model/view, so a pass of a hundred thousand actions is one
// vector and a few visible rows, not a widget per row.

#include <QAbstractTableModel>
#include <vector>

#include "history/Records.h"

namespace tidyfold::ui {

class PassesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Number, When, What, StartedBy, HowMany, HowItEnded, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;
    void SetPasses(std::vector<history::PassRecord> passes);
    const history::PassRecord* PassAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<history::PassRecord> passes_;
};

class ActionsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Action, Name, Destination, Size, Outcome, Note, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;
    void SetActions(std::vector<history::ActionRecord> actions);
    const history::ActionRecord* ActionAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<history::ActionRecord> actions_;
};

// The words the window uses for a pass and an action.
QString PassWhat(const history::PassRecord& pass);
QString PassWhen(const history::PassRecord& pass);
// "window", "command line", "schedule"; "not recorded" for passes of a
// history from before that was kept.
QString PassStartedBy(const history::PassRecord& pass);
// "27 done", "25 done, 2 not done".
QString PassCounts(const history::PassRecord& pass);
// How it ended, and that an Undo put it back: "Completed, undone by pass 12".
QString PassEnded(const history::PassRecord& pass);
QString ActionWhat(const history::ActionRecord& action);
QString ActionOutcomeText(const history::ActionRecord& action);

}  // namespace tidyfold::ui
