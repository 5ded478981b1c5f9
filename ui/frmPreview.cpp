#include "ui/frmPreview.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "ui/Named.h"
#include "ui/PreviewModel.h"
#include "ui/Text.h"

namespace tidyfold::ui {

namespace {

QString Count(std::size_t n, const QString& one, const QString& many)
{
    return n == 1 ? one : many.arg(n);
}

}  // namespace

frmPreview::frmPreview(const CleanPlan& plan, QWidget* parent) : QDialog(parent), plan_(plan)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(tr("Preview"));
    model_ = new PreviewModel(plan_, this);

    lblSummary = Named(new QLabel(Summary()), "lblSummary");
    lblSummary->setWordWrap(true);
    tblPreview = Named(new QTableView, "tblPreview");
    tblPreview->setModel(model_);
    tblPreview->setAccessibleName(tr("What Clean Desktop would do"));
    tblPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPreview->setWordWrap(false);
    // Nothing is measured per row: a Desktop of a hundred thousand files
    // opens as fast as a short one.
    tblPreview->verticalHeader()->hide();
    tblPreview->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblPreview->verticalHeader()->setDefaultSectionSize(tblPreview->fontMetrics().height() + 6);
    tblPreview->horizontalHeader()->setStretchLastSection(true);
    // A long name keeps its start and its end; the whole of it is in the
    // tooltip.
    tblPreview->setTextElideMode(Qt::ElideMiddle);
    tblPreview->setColumnWidth(PreviewModel::Name, 260);
    tblPreview->setColumnWidth(PreviewModel::LastUse, 220);
    tblPreview->setColumnWidth(PreviewModel::Size, 80);
    // The action words are few: the column takes the widest of them, found
    // once, not row by row.
    int action = 0;
    for (const JournalAction each : {JournalAction::CopyThenDelete, JournalAction::Move, JournalAction::Delete,
                                     JournalAction::SendToTrash, JournalAction::DeleteEmptyFile,
                                     JournalAction::RemoveUnpackedFolder, JournalAction::RemoveEmptyFolder})
        action = std::max(action, tblPreview->fontMetrics().horizontalAdvance(PlanActionText(each)));
    action = std::max(action, tblPreview->fontMetrics().horizontalAdvance(tr("stays: it holds what is left unchecked")));
    tblPreview->setColumnWidth(PreviewModel::Action, action + 24);
    // Sorted by a header click (the model sorts its own rows: a proxy would
    // map a hundred thousand of them before the first paint); in the order
    // Clean Desktop works until then.
    tblPreview->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tblPreview->setSortingEnabled(true);
    lblSummary->setBuddy(tblPreview);

    cmdCheckAll = Named(new QPushButton(tr("Check All")), "cmdCheckAll");
    cmdUncheckAll = Named(new QPushButton(tr("Uncheck All")), "cmdUncheckAll");
    cmdCleanSelected = Named(new QPushButton(tr("Clean Selected")), "cmdCleanSelected");
    cmdClose = Named(new QPushButton(tr("Close")), "cmdClose");
    cmdCleanSelected->setDefault(true);
    connect(cmdCheckAll, &QPushButton::clicked, this, [this] { model_->SetAllChecked(true); });
    connect(cmdUncheckAll, &QPushButton::clicked, this, [this] { model_->SetAllChecked(false); });
    connect(cmdCleanSelected, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(model_, &PreviewModel::CheckedChanged, this, &frmPreview::UpdateButtons);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCheckAll);
    buttons->addWidget(cmdUncheckAll);
    buttons->addStretch();
    buttons->addWidget(cmdCleanSelected);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(tblPreview, 1);
    layout->addLayout(buttons);
    resize(1000, 560);
    UpdateButtons();
}

std::vector<bool> frmPreview::Chosen() const { return model_->Chosen(); }

QString frmPreview::Summary() const
{
    // Said beside whatever the plan holds: it is why a file only read may
    // be listed.
    const QString drive = plan_.noAccessTimes ? QStringLiteral(" ") + tr("This drive does not record when files are "
                                                                         "read; last use comes from changes and from "
                                                                         "the desktop's record of opened files.")
                                              : QString();
    return Planned() + drive;
}

QString frmPreview::Planned() const
{
    if (plan_.entries.empty())
        return tr("Clean Desktop would change nothing now: no file on %1 is old enough.").arg(PathText(plan_.desktop));
    // What the rows checked now would do.
    std::size_t files = 0;
    std::optional<JournalAction> transfer;
    for (const JournalAction action :
         {JournalAction::CopyThenDelete, JournalAction::Move, JournalAction::Delete, JournalAction::SendToTrash}) {
        if (const std::size_t n = model_->Happening(action)) {
            files += n;
            transfer = action;
        }
    }
    QStringList parts;
    if (files > 0) {
        const QString verb = PlanActionText(*transfer);
        parts << (files == 1 ? tr("1 file to %1").arg(verb) : tr("%1 files to %2").arg(files).arg(verb));
    }
    if (const std::size_t empty = model_->Happening(JournalAction::DeleteEmptyFile))
        parts << Count(empty, tr("1 empty file to delete"), tr("%1 empty files to delete"));
    if (const std::size_t unpacked = model_->Happening(JournalAction::RemoveUnpackedFolder))
        parts << Count(unpacked, tr("1 unpacked folder to remove"), tr("%1 unpacked folders to remove"));
    if (const std::size_t folders = model_->Happening(JournalAction::RemoveEmptyFolder))
        parts << Count(folders, tr("1 empty folder to remove"), tr("%1 empty folders to remove"));
    const std::size_t left = plan_.entries.size() - model_->CheckedCount();
    const QString unchecked = left == 0 ? QString()
                                        : QStringLiteral(" ") + Count(left, tr("1 row is left unchecked."),
                                                                      tr("%1 rows are left unchecked."));
    if (parts.isEmpty())
        return tr("Clean Selected would change nothing: every row is left unchecked.");
    return tr("Clean Selected would do this now (%1).").arg(parts.join(QStringLiteral(", "))) + unchecked +
           QStringLiteral(" ") +
           tr("Uncheck what should stay; each file is looked at again when its turn comes, and one used meanwhile "
              "stays.");
}

void frmPreview::UpdateButtons()
{
    lblSummary->setText(Summary());
    const bool any = model_->CheckedCount() > 0;
    cmdCleanSelected->setEnabled(any);
    cmdUncheckAll->setEnabled(any);
    cmdCheckAll->setEnabled(model_->CheckedCount() < plan_.entries.size());
}

}  // namespace tidyfold::ui
