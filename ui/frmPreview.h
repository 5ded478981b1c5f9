#pragma once

#include <QDialog>
#include <vector>

#include "engine/Plan.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tidyfold::ui {

class PreviewModel;

// What Clean Desktop would do now, one row per change, each with a check
// box; Clean Selected accepts the dialog with the rows checked, and the
// main window then runs the pass on those alone.
class frmPreview : public QDialog {
    Q_OBJECT
public:
    // plan must outlive the dialog.
    explicit frmPreview(const CleanPlan& plan, QWidget* parent = nullptr);

    // One value per entry of the plan: checked or not.
    std::vector<bool> Chosen() const;

private:
    QString Summary() const;
    QString Planned() const;  // what the checked rows would change
    void UpdateButtons();  // and the summary

    const CleanPlan& plan_;
    PreviewModel* model_ = nullptr;

    QLabel* lblSummary = nullptr;
    QTableView* tblPreview = nullptr;
    QPushButton* cmdCheckAll = nullptr;
    QPushButton* cmdUncheckAll = nullptr;
    QPushButton* cmdCleanSelected = nullptr;
    QPushButton* cmdClose = nullptr;
};

}  // namespace tidyfold::ui
