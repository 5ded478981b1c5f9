#include "ui/frmOptions.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <cfloat>
#include <cmath>
#include <initializer_list>

#include "engine/cTidyfold.h"
#include "fs/FileSystem.h"
#include "settings/NumberText.h"
#include "settings/SettingsText.h"
#include "shell/HomeFolder.h"
#include "shell/SafeFolders.h"
#include "ui/BrowseForFolder.h"
#include "ui/ElidedLabel.h"
#include "ui/frmAbout.h"
#include "ui/KeepPage.h"
#include "ui/MessageBoxes.h"
#include "ui/Named.h"
#include "ui/SchedulePage.h"
#include "ui/Text.h"

namespace tidyfold::ui {

namespace {

QLabel* BoldLabel(const QString& text, const char* name)
{
    auto* label = Named(new QLabel(text), name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

// A stored check-box value: 0 clear, 1 ticked, 2 greyed. Anything else shows
// clear. The greyed state exists only for a stored 2; a click leaves it for
// good, so clicks toggle between clear and ticked as always.
void ShowCheckValue(QCheckBox* box, std::int16_t value)
{
    box->setTristate(value == 2);
    box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

std::int16_t CheckValue(int state)
{
    return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}

// The time limit as the user writes numbers: shortest form, the user's own
// decimal separator.
QString TimeLimitText(float days)
{
    QString text = QString::fromStdString(SingleToText(days));
    return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

// Days as the user typed them, in the user's notation or the plain one; a
// negative, infinite or too large number is no time limit either.
bool ParseTimeLimit(const QString& text, float& days)
{
    bool ok = false;
    double value = QLocale().toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value) || value < 0 || value > FLT_MAX)
        return false;
    days = static_cast<float>(value) + 0.0f;  // no negative zero
    return true;
}

}  // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(tr("Options"));

    tbsOptions = Named(new QTabWidget, "tbsOptions");
    tbsOptions->addTab(BuildGeneralPage(), tr("General"));
    tbsOptions->addTab(BuildFileOpsPage(), tr("File Operations"));
    picSchedule = new SchedulePage;
    tbsOptions->addTab(picSchedule, tr("Schedule"));
    picKeep = new KeepPage;
    tbsOptions->addTab(picKeep, tr("Keep"));
    tbsOptions->setTabToolTip(0, tr("General Tidyfold Options"));
    tbsOptions->setTabToolTip(1, tr("Set options on how to handle file operations"));
    tbsOptions->setTabToolTip(2, tr("Clean the Desktop without opening Tidyfold"));
    tbsOptions->setTabToolTip(3, tr("Files and folders Tidyfold never touches"));
    tbsOptions->tabBar()->setTabData(0, QStringLiteral("General"));
    tbsOptions->tabBar()->setTabData(1, QStringLiteral("FileOps"));
    tbsOptions->tabBar()->setTabData(2, QStringLiteral("Schedule"));
    tbsOptions->tabBar()->setTabData(3, QStringLiteral("Keep"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tbsOptions);
    layout->addLayout(BuildButtonRow());
    // Fixed size: the dialog takes the size its contents ask for.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ConnectControls();
    Load();
}

frmOptions::~frmOptions()
{
    OptionEngine_->Connect(nullptr);
}

QWidget* frmOptions::BuildGeneralPage()
{
    auto* page = Named(new QWidget, "picOptions_0");
    page->setAccessibleName(tr("General"));
    Label5 = Named(new QLabel(tr("Please make sure you have read the license agreeement!")), "Label5");
    rtfLicense = Named(new QTextEdit, "rtfLicense");
    rtfLicense->setReadOnly(true);
    rtfLicense->setFixedHeight(180);
    // Read-only, it still takes the keyboard focus, so a screen reader can
    // be moved into it and read the agreement line by line.
    rtfLicense->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    rtfLicense->setAccessibleName(tr("License agreement"));
    rtfLicense->setAccessibleDescription(Label5->text());

    Label4_0 = Named(new QLabel(tr("Clean files if they are more than ")), "Label4_0");
    txtTimeLimit = Named(new QLineEdit, "txtTimeLimit");
    txtTimeLimit->setFixedWidth(txtTimeLimit->fontMetrics().averageCharWidth() * 8);
    Label4_1 = Named(new QLabel(tr("days old.")), "Label4_1");
    // The box is read out as the sentence it stands in.
    Label4_0->setBuddy(txtTimeLimit);
    txtTimeLimit->setAccessibleName(Label4_0->text().trimmed());
    txtTimeLimit->setAccessibleDescription(Label4_1->text());
    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(Label4_0);
    limitRow->addWidget(txtTimeLimit);
    limitRow->addWidget(Label4_1);
    limitRow->addStretch();

    chkDelUCFolders =
        Named(new QCheckBox(tr("Delete Uncompressed folders when compressed file present.")), "chkDelUCFolders");

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Label5);
    layout->addWidget(rtfLicense);
    layout->addLayout(limitRow);
    layout->addWidget(chkDelUCFolders);
    layout->addStretch();
    return page;
}

QWidget* frmOptions::BuildFileOpsPage()
{
    auto* page = Named(new QWidget, "picOptions_1");
    page->setAccessibleName(tr("File Operations"));
    Label1_0 = BoldLabel(tr("When Cleaning the desktop, how do you want to handle old files?"), "Label1_0");
    optCopyorMove[0] =
        Named(new QRadioButton(tr("Copy the file to the new location, then delete the desktop copy.")), "optCopyorMove_0");
    optCopyorMove[1] = Named(new QRadioButton(tr("Move the file to a new location.")), "optCopyorMove_1");
    optCopyorMove[2] = Named(new QRadioButton(tr("Delete the file")), "optCopyorMove_2");
    optCopyorMove[3] = Named(new QRadioButton(tr("Send the file to the Trash.")), "optCopyorMove_3");
    Label1_1 = BoldLabel(tr("Where do I store the files moved from the desktop?"), "Label1_1");
    lblTrashPath = Named(new ElidedLabel(tr("No Path Saved!!!")), "lblTrashPath");
    cmdBrowse = Named(new QPushButton(tr("Choose Directory")), "cmdBrowse");
    chkDelNullFiles = Named(new QCheckBox(tr("Delete Null Files")), "chkDelNullFiles");
    chkDelNullFiles->setToolTip(tr("Deletes files that have a 0 byte filesize"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Label1_0);
    for (QRadioButton* option : optCopyorMove)
        layout->addWidget(option);
    layout->addSpacing(8);
    layout->addWidget(Label1_1);
    layout->addWidget(lblTrashPath);
    layout->addWidget(cmdBrowse);
    layout->addWidget(chkDelNullFiles);
    layout->addStretch();
    return page;
}

QLayout* frmOptions::BuildButtonRow()
{
    cmdOK = Named(new QPushButton(tr("OK")), "cmdOK");
    cmdCancel = Named(new QPushButton(tr("Cancel")), "cmdCancel");
    cmdApply = Named(new QPushButton(tr("Apply")), "cmdApply");
    // Enter in the time-limit box must not close the dialog behind the
    // user's back; every button acts on its own click only.
    for (QPushButton* button : {cmdOK, cmdCancel, cmdApply})
        button->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cmdOK);
    row->addWidget(cmdCancel);
    row->addWidget(cmdApply);
    return row;
}

void frmOptions::ConnectControls()
{
    connect(tbsOptions, &QTabWidget::currentChanged, this, &frmOptions::tbsOptions_Click);
    for (int i = 0; i < 4; ++i) {
        connect(optCopyorMove[i], &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked)
                OptionEngine_->CopyAction(static_cast<TransferMode>(i));
            ShowOffloadFolderApplies();
        });
    }
    connect(chkDelUCFolders, &QCheckBox::stateChanged, this, [this](int state) {
        chkDelUCFolders->setTristate(state == Qt::PartiallyChecked);
        OptionEngine_->DelUCFolders(CheckValue(state));
    });
    connect(chkDelNullFiles, &QCheckBox::stateChanged, this, [this](int state) {
        chkDelNullFiles->setTristate(state == Qt::PartiallyChecked);
        OptionEngine_->DelNullFiles(CheckValue(state));
    });
    connect(picKeep, &KeepPage::edited, this, [this] { OptionEngine_->KeepPatterns(picKeep->Patterns()); });
    connect(cmdBrowse, &QPushButton::clicked, this, &frmOptions::cmdBrowse_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmOptions::cmdApply_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    // Keys reach the dialog before the focused control, wherever it is.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void frmOptions::Load()
{
    OptionEngine_ = std::make_unique<cOptions>();
    // The keys a failed load never reaches would otherwise show, and on OK be
    // saved, as a new object holds them: a time limit of 0 would offload every
    // file on the next pass. They show the defaults instead.
    OptionEngine_->SetDefaults();
    OptionEngine_->Connect(this);
    try {
        OptionEngine_->LoadOptions();  // raises TrashPathSet
    } catch (const Error& error) {
        // The keys read before the bad one are loaded; show those.
        ShowError(ErrorText(error));
    }
    lblTrashPath->setText(PathText(OptionEngine_->OffloadPath()));
    txtTimeLimit->setText(TimeLimitText(OptionEngine_->TimeLimit()));
    // The option buttons are indexed by the mode's number.
    const std::int16_t action = ModeNumber(OptionEngine_->CopyAction());
    if (action >= 0 && action <= 3)
        optCopyorMove[action]->setChecked(true);
    ShowCheckValue(chkDelUCFolders, OptionEngine_->DelUCFolders());
    ShowCheckValue(chkDelNullFiles, OptionEngine_->DelNullFiles());
    // The list in force: the file's own, or the defaults when it has none.
    // It is written to the file only once the user changes it.
    picKeep->SetPatterns(OptionEngine_->EffectiveKeepPatterns());
    if (Schedule* schedule = TheSchedule())
        installedSchedule_ = schedule->Current();
    picSchedule->SetChoice(installedSchedule_);
    tbsOptions_Click(tbsOptions->currentIndex());
    ShowOffloadFolderApplies();
    saved_ = Shown();
    CenterOnScreen();
    LoadLicense();
}

frmOptions::Values frmOptions::Shown() const
{
    return Values{OptionEngine_->OffloadPath(),   OptionEngine_->CopyAction(),   OptionEngine_->TimeLimit(),
                  OptionEngine_->DelUCFolders(),  OptionEngine_->DelNullFiles(), picKeep->Patterns(),
                  picSchedule->Choice()};
}

void frmOptions::ShowOffloadFolderApplies()
{
    const TransferMode mode = OptionEngine_->CopyAction();
    const bool applies = mode != TransferMode::Delete && mode != TransferMode::Trash;
    for (QWidget* widget : std::initializer_list<QWidget*>{Label1_1, lblTrashPath, cmdBrowse})
        widget->setEnabled(applies);
}

void frmOptions::LoadLicense()
{
    // The agreement is for reading only: when it cannot be read the box stays
    // empty and the dialog opens all the same.
    rtfLicense->setHtml(LicenseHtml());
}

void frmOptions::CenterOnScreen()
{
    adjustSize();
    const QScreen* where = screen();
    if (where == nullptr)
        return;
    const QRect area = where->geometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
}

void frmOptions::TrashPathSet(std::string sPath)
{
    lblTrashPath->setText(PathText(sPath));
}

void frmOptions::tbsOptions_Click(int index)
{
    // Only the selected page takes part; the others are hidden by the tab
    // widget and disabled here.
    for (int i = 0; i < tbsOptions->count(); ++i)
        tbsOptions->widget(i)->setEnabled(i == index);
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && HandleDialogKey(*static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == txtTimeLimit && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window coming up (our own message box) is not the user
        // leaving the box.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            txtTimeLimit_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

bool frmOptions::HandleDialogKey(const QKeyEvent& key)
{
    const bool tab = key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab;
    if (!tab || !(key.modifiers() & Qt::ControlModifier))
        return false;
    // Ctrl alone with Tab moves to the next tab, from the last back to the
    // first. Every other Ctrl+Tab combination does nothing: the tab widget's
    // own Ctrl+Shift+Tab (previous tab) is not part of this dialog.
    if (key.key() == Qt::Key_Tab && key.modifiers() == Qt::ControlModifier) {
        const int next = tbsOptions->currentIndex() + 1;
        tbsOptions->setCurrentIndex(next == tbsOptions->count() ? 0 : next);
    }
    return true;
}

void frmOptions::txtTimeLimit_LostFocus()
{
    if (checkingTimeLimit_)
        return;
    checkingTimeLimit_ = true;
    const QString text = txtTimeLimit->text();
    float days = 0;
    if (text.isEmpty()) {
        // An empty box keeps the limit as it was.
    } else if (ParseTimeLimit(text, days)) {
        OptionEngine_->TimeLimit(days);
    } else {
        Boxes().Show(this, tr("This value must be numeric!"), tr("RTFM"), QMessageBox::Warning, QMessageBox::Ok);
        txtTimeLimit->clear();
    }
    checkingTimeLimit_ = false;
}

void frmOptions::CommitTimeLimitBeforeButton()
{
    // A click moves the focus out of the box first, which runs the check. A
    // button pressed without taking the focus must not skip it.
    if (focusWidget() == txtTimeLimit)
        txtTimeLimit_LostFocus();
}

void frmOptions::cmdBrowse_Click()
{
    // Opens where the files go now, or at home when that folder is not there
    // yet.
    const std::string current = OptionEngine_->OffloadPath();
    const std::string start = !current.empty() && current.front() == '/' && fs::FolderExists(current) ? current
                                                                                                     : HomeFolder();
    const QString folder =
        BrowseForFolder(this, tr("Select a Folder"), BIF_RETURNONLYFSDIRS, CSIDL_DRIVES, PathText(start));
    // A cancelled browse keeps the folder that was set: an empty path would
    // read back as the default folder and silently redirect the next pass.
    if (folder.isEmpty())
        return;
    const std::string path = PathBytes(folder);
    // Typed or picked, a folder that a pass would refuse (or that would not
    // read back as it is) is not taken: say why and keep the old one.
    try {
        RefuseUnstorableOffloadPath(path);
        CheckOffloadFolder(path);
    } catch (const Error& error) {
        ShowError(ErrorText(error));
        return;
    }
    OptionEngine_->OffloadPath(path);
}

void frmOptions::cmdApply_Click()
{
    CommitTimeLimitBeforeButton();
    Save();
}

void frmOptions::cmdOK_Click()
{
    CommitTimeLimitBeforeButton();
    // Until a save the question is always asked; after one, whenever a value
    // differs from what that save wrote.
    if (OptionEngine_->Saved() != kTrue || Shown() != saved_) {
        const auto answer = Boxes().Show(this, tr("Would you like to save your changes?"), tr("Save Options?"),
                                         QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No);
        // A save that failed keeps the dialog open, so the user's changes are
        // not lost with it.
        if (answer == QMessageBox::Yes && !Save())
            return;
    }
    accept();
}

bool frmOptions::Save()
{
    try {
        // A hand-edited settings file may name an unsafe folder; it is not
        // written back.
        CheckOffloadFolder(OptionEngine_->OffloadPath());
        OptionEngine_->SaveOptions();
    } catch (const Error& error) {
        ShowError(ErrorText(error));
        return false;
    }
    const bool scheduled = ApplySchedule();
    saved_ = Shown();
    // A schedule that could not be installed is still a change to save.
    saved_.schedule = installedSchedule_;
    return scheduled;
}

bool frmOptions::ApplySchedule()
{
    Schedule* schedule = TheSchedule();
    const ScheduleChoice choice = picSchedule->Choice();
    if (schedule == nullptr || choice == installedSchedule_)
        return true;
    std::string note;
    try {
        note = schedule->Apply(choice);
    } catch (const Error& error) {
        ShowError(ErrorText(error));
        return false;
    }
    installedSchedule_ = choice;
    if (!note.empty())
        Boxes().Show(this, QString::fromStdString(note), QString::fromLatin1(kAppTitle), QMessageBox::Information,
                     QMessageBox::Ok);
    return true;
}

void frmOptions::ShowError(const QString& text)
{
    Boxes().Show(this, text, QString::fromLatin1(kAppTitle), QMessageBox::Warning, QMessageBox::Ok);
}

}  // namespace tidyfold::ui
