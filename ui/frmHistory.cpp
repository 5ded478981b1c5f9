#include "ui/frmHistory.h"

#include <QApplication>
#include <algorithm>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>

#include "base/Error.h"
#include "history/History.h"
#include "history/PassRunner.h"
#include "history/Restore.h"
#include "ui/HistoryModels.h"
#include "ui/MessageBoxes.h"
#include "ui/Named.h"
#include "settings/cOptions.h"
#include "ui/ReportText.h"
#include "ui/Text.h"

namespace tidyfold::ui {

namespace {

// A table of many rows: fixed row heights, so nothing is measured per row.
QTableView* Table(QAbstractItemModel* model, const char* name, QAbstractItemView::SelectionMode mode)
{
    auto* table = Named(new QTableView, name);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(mode);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

}  // namespace

frmHistory::frmHistory(history::History& history, QWidget* parent)
    : QDialog(parent),
      history_(history),
      runner_(std::make_unique<history::PassRunner>(history::PassOrigin::Window, &history))
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(tr("History"));
    passes_ = new PassesModel(this);
    actions_ = new ActionsModel(this);
    auto* layout = new QVBoxLayout(this);
    BuildTables();
    layout->addWidget(lblPasses);
    layout->addWidget(lblNoPasses);
    layout->addWidget(tblPasses, 2);
    layout->addWidget(lblActions);
    layout->addWidget(tblActions, 3);
    layout->addWidget(lblActionDetails);
    layout->addLayout(BuildButtons());
    resize(980, 600);
    Refresh();
}

void frmHistory::BuildTables()
{
    lblPasses = Named(new QLabel(tr("&Passes, newest first:")), "lblPasses");
    tblPasses = Table(passes_, "tblPasses", QAbstractItemView::SingleSelection);
    tblPasses->setAccessibleName(tr("Passes"));
    lblPasses->setBuddy(tblPasses);
    tblPasses->setColumnWidth(PassesModel::Number, 50);
    tblPasses->setColumnWidth(PassesModel::When, 170);
    tblPasses->setColumnWidth(PassesModel::What, 240);
    tblPasses->setColumnWidth(PassesModel::StartedBy, 110);
    tblPasses->setColumnWidth(PassesModel::HowMany, 150);
    // Said instead of an empty table: what will be listed, and what can be
    // done with it.
    lblNoPasses = Named(new QLabel(tr("No pass is recorded yet. Every Clean Desktop, Clean Uncompressed Folders and "
                                      "Remove Empty Folders will be listed here, newest first, whether the window, "
                                      "the command line or the schedule ran it, with what it did to each file and "
                                      "folder; Undo Pass then puts back what a pass took off the Desktop.")),
                        "lblNoPasses");
    lblNoPasses->setWordWrap(true);
    lblNoPasses->hide();

    lblActions = Named(new QLabel(tr("&Actions of the selected pass:")), "lblActions");
    tblActions = Table(actions_, "tblActions", QAbstractItemView::ExtendedSelection);
    tblActions->setAccessibleName(tr("Actions of the selected pass"));
    tblActions->setTextElideMode(Qt::ElideMiddle);
    lblActions->setBuddy(tblActions);
    tblActions->setColumnWidth(ActionsModel::Action, 220);
    tblActions->setColumnWidth(ActionsModel::Name, 180);
    tblActions->setColumnWidth(ActionsModel::Destination, 140);
    tblActions->setColumnWidth(ActionsModel::Size, 80);
    tblActions->setColumnWidth(ActionsModel::Outcome, 230);
    // A note is often a sentence: read in full below the table, wrapped,
    // for the row the keyboard or the mouse is on.
    lblActionDetails = Named(new QLabel, "lblActionDetails");
    lblActionDetails->setWordWrap(true);
    lblActionDetails->setTextFormat(Qt::PlainText);
    lblActionDetails->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblActionDetails->setMinimumHeight(lblActionDetails->fontMetrics().lineSpacing() * 3);
    lblActionDetails->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblActionDetails->setAccessibleName(tr("The selected action"));

    connect(tblPasses->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmHistory::ShowActionsOfSelectedPass);
    connect(tblActions->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmHistory::UpdateButtons);
    connect(tblActions->selectionModel(), &QItemSelectionModel::currentChanged, this, &frmHistory::ShowDetails);
}

QLayout* frmHistory::BuildButtons()
{
    cmdUndoPass = Named(new QPushButton(tr("Undo Pass")), "cmdUndoPass");
    cmdRestoreSelected = Named(new QPushButton(tr("Restore Selected")), "cmdRestoreSelected");
    cmdClose = Named(new QPushButton(tr("Close")), "cmdClose");
    cmdUndoPass->setToolTip(tr("Put back everything the selected pass took off the Desktop that can come back"));
    cmdRestoreSelected->setToolTip(tr("Put back the selected files"));
    connect(cmdUndoPass, &QPushButton::clicked, this, &frmHistory::cmdUndoPass_Click);
    connect(cmdRestoreSelected, &QPushButton::clicked, this, &frmHistory::cmdRestoreSelected_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(cmdUndoPass);
    row->addWidget(cmdRestoreSelected);
    row->addStretch();
    row->addWidget(cmdClose);
    return row;
}

frmHistory::~frmHistory() = default;

void frmHistory::Refresh()
{
    const std::int64_t selected = SelectedPass();
    passes_->SetPasses(history_.Passes());
    int row = 0;
    for (int i = 0; i < passes_->rowCount(); ++i)
        if (passes_->PassAt(i)->id == selected)
            row = i;
    const bool any = passes_->rowCount() > 0;
    lblNoPasses->setVisible(!any);
    tblPasses->setVisible(any);
    if (any)
        tblPasses->selectRow(row);
    else
        ShowActionsOfSelectedPass();
}

std::int64_t frmHistory::SelectedPass() const
{
    const QModelIndexList rows = tblPasses->selectionModel()->selectedRows();
    const history::PassRecord* pass = rows.isEmpty() ? nullptr : passes_->PassAt(rows.first().row());
    return pass != nullptr ? pass->id : 0;
}

std::vector<std::int64_t> frmHistory::SelectedRestorableActions() const
{
    std::vector<std::int64_t> ids;
    for (const QModelIndex& index : tblActions->selectionModel()->selectedRows()) {
        const history::ActionRecord* action = actions_->ActionAt(index.row());
        if (action != nullptr && action->CanRestore())
            ids.push_back(action->id);
    }
    return ids;
}

void frmHistory::ShowActionsOfSelectedPass()
{
    const std::int64_t pass = SelectedPass();
    actions_->SetActions(pass != 0 ? history_.Actions(pass) : std::vector<history::ActionRecord>{});
    if (actions_->rowCount() > 0)
        tblActions->selectionModel()->setCurrentIndex(actions_->index(0, ActionsModel::Action),
                                                     QItemSelectionModel::NoUpdate);
    ShowDetails();
    UpdateButtons();
}

void frmHistory::ShowDetails()
{
    const QModelIndex current = tblActions->currentIndex();
    const history::ActionRecord* action = current.isValid() ? actions_->ActionAt(current.row()) : nullptr;
    if (action == nullptr) {
        lblActionDetails->clear();
        return;
    }
    QStringList parts{ActionWhat(*action) + QStringLiteral(": ") + PathText(action->relative)};
    if (!action->destination.empty())
        parts << tr("In the offload folder: %1").arg(PathText(action->destination));
    parts << ActionOutcomeText(*action);
    if (!action->note.empty())
        parts << QString::fromStdString(action->note);
    lblActionDetails->setText(parts.join(QStringLiteral(". ")));
}

void frmHistory::UpdateButtons()
{
    bool restorable = false;
    for (int row = 0; row < actions_->rowCount() && !restorable; ++row)
        restorable = actions_->ActionAt(row)->CanRestore();
    cmdUndoPass->setEnabled(restorable);
    cmdRestoreSelected->setEnabled(!SelectedRestorableActions().empty());
}

void frmHistory::cmdUndoPass_Click() { RunRestore({}); }

void frmHistory::cmdRestoreSelected_Click()
{
    const std::vector<std::int64_t> ids = SelectedRestorableActions();
    if (!ids.empty())
        RunRestore(ids);
}

void frmHistory::RunRestore(const std::vector<std::int64_t>& actions)
{
    const std::int64_t pass = SelectedPass();
    if (pass == 0)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const PassReport report = runner_->Undo(pass, actions);
    QApplication::restoreOverrideCursor();
    Refresh();
    if (!report.CouldNotRun()) {
        const bool clean = std::all_of(report.entries.begin(), report.entries.end(),
                                       [](const ReportEntry& e) { return e.outcome == JournalOutcome::Done; });
        Boxes().Show(this, ResultLines(report, QStringLiteral(".")).join(QStringLiteral("\r\n")), tr("History"),
                     clean ? QMessageBox::Information : QMessageBox::Warning, QMessageBox::Ok);
    }
    if (report.error)
        Boxes().Show(this, ErrorText(*report.error), QString::fromLatin1(kAppTitle), QMessageBox::Warning,
                     QMessageBox::Ok);
}

}  // namespace tidyfold::ui
