#pragma once

#include <QDialog>
#include <memory>

namespace tidyfold::history {
class History;
class PassRunner;
}  // namespace tidyfold::history

class QLabel;
class QPushButton;
class QTableView;

namespace tidyfold::ui {

class ActionsModel;
class PassesModel;

// The passes of the history, newest first, and the actions of the one
// selected; Undo Pass and Restore Selected put offloaded files back.
class frmHistory : public QDialog {
    Q_OBJECT
public:
    explicit frmHistory(history::History& history, QWidget* parent = nullptr);
    ~frmHistory() override;

    // Reads the passes again, keeping the selected one selected.
    void Refresh();

private:
    void BuildTables();
    QLayout* BuildButtons();
    void ShowActionsOfSelectedPass();
    // The selected action in full, its note wrapped, below the table.
    void ShowDetails();
    void UpdateButtons();
    std::int64_t SelectedPass() const;
    std::vector<std::int64_t> SelectedRestorableActions() const;
    void RunRestore(const std::vector<std::int64_t>& actions);

    void cmdUndoPass_Click();
    void cmdRestoreSelected_Click();

    history::History& history_;
    std::unique_ptr<history::PassRunner> runner_;
    PassesModel* passes_ = nullptr;
    ActionsModel* actions_ = nullptr;

    QLabel* lblPasses = nullptr;
    QLabel* lblNoPasses = nullptr;
    QTableView* tblPasses = nullptr;
    QLabel* lblActions = nullptr;
    QTableView* tblActions = nullptr;
    QLabel* lblActionDetails = nullptr;
    QPushButton* cmdUndoPass = nullptr;
    QPushButton* cmdRestoreSelected = nullptr;
    QPushButton* cmdClose = nullptr;
};

}  // namespace tidyfold::ui
