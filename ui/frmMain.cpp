#include "ui/frmMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QTimerEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/CopyProgress.h"
#include "fs/FileSystem.h"
#include "history/History.h"
#include "history/PassRunner.h"
#include "shell/HomeFolder.h"
#include "shell/cSpecialFolders.h"
#include "ui/AppIcon.h"
#include "ui/ElidedLabel.h"
#include "ui/MessageBoxes.h"
#include "ui/Named.h"
#include "ui/ReportText.h"
#include "ui/Text.h"
#include "ui/WhatItDoes.h"
#include "ui/frmAbout.h"
#include "ui/frmHistory.h"
#include "ui/frmOptions.h"
#include "ui/frmPreview.h"

namespace tidyfold::ui {

namespace {

// 12-point Arial Black where it is installed; elsewhere the heaviest sans
// serif the system has.
QFont BannerFont()
{
    QFont font(QStringLiteral("Arial Black"));
    font.setPointSize(12);
    font.setWeight(QFont::Black);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QLabel* BannerLabel(const QString& text, const char* name, QWidget* parent, int top)
{
    auto* label = Named(new QLabel(text, parent), name);
    label->setFont(BannerFont());
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: white;"));
    // The right half of the picture.
    label->setGeometry(150, top, 150, 30);
    return label;
}

// A label of wrapped lines that keeps the room of lines lines: the window
// keeps its size whatever the text says.
QLabel* Lines(const char* name, int lines)
{
    auto* label = Named(new QLabel, name);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFixedHeight(label->fontMetrics().lineSpacing() * lines + 2);
    return label;
}

// text as it fits in lines lines of label, cut at its end beyond that; the
// whole of it goes to the tooltip.
void SetFitting(QLabel* label, const QString& text, int lines)
{
    const int width = std::max(label->contentsRect().width(), 1);
    // Wrapping at word ends leaves part of each line unused.
    const int room = width * lines - width / 4;
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, room));
    label->setToolTip(text);
}

// Keeps a hidden widget's room in the layout, so the fixed-size window does
// not have to change when the progress area appears.
template <typename W>
W* HiddenKeepingRoom(W* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    widget->hide();
    return widget;
}

}  // namespace

// Marks an operation as running: the three operation buttons are disabled
// (Stop stays usable) and come back however the operation ends.
class frmMain::BusyScope {
public:
    explicit BusyScope(frmMain& window) : window_(window)
    {
        window_.busy_ = true;
        window_.SetOperationButtonsEnabled(false);
    }
    ~BusyScope()
    {
        window_.SetOperationButtonsEnabled(true);
        window_.busy_ = false;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    frmMain& window_;
};

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(tr("Tidyfold - Beta"));
    setWindowIcon(AppIcon());
    scanningPrefix_ = tr("Scanning: ");
    movingPrefix_ = tr("Moving: ");

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(BuildBanner(), 0, Qt::AlignHCenter);
    layout->addLayout(BuildProgressArea());
    // What the first button will do, read before it is pressed.
    lblWhatItDoes = Lines("lblWhatItDoes", 3);
    layout->addWidget(lblWhatItDoes);
    layout->addLayout(BuildButtonRow());
    lblPath = Named(new ElidedLabel(tr("Idle.")), "lblPath");
    // Screen readers find the window's status where they look for it.
    lblPath->setAccessibleRole(QAccessible::StatusBar);
    layout->addWidget(lblPath);
    layout->addLayout(BuildLastPassRow());
    lblPreviewHint = Named(new QLabel(tr("To see each file first, and leave out any of them, choose File > Preview "
                                         "Clean...")),
                           "lblPreviewHint");
    lblPreviewHint->setWordWrap(true);
    layout->addWidget(lblPreviewHint);
    setCentralWidget(central);
    BuildMenu();

    // Load: an engine whose events this window shows, and the window's own
    // settings, read at every Clean Desktop.
    ReplaceCleaner();
    oOptions = std::make_unique<cOptions>();
    lblVersion->setText(VersionText());

    adjustSize();
    setFixedSize(size());
    // The lines fit the width the window now has.
    layout->activate();
    ShowWhatItDoes();
}

frmMain::~frmMain()
{
    if (CurrentEngine() == oCleaner.get())
        RegisterCurrentEngine(nullptr);
}

QWidget* frmMain::BuildBanner()
{
    Picture1 = Named(new QLabel, "Picture1");
    Picture1->setPixmap(BannerPixmap(devicePixelRatioF()));
    Picture1->setFixedSize(300, 169);
    Picture1->setAccessibleName(tr("Tidyfold banner"));
    Label2 = BannerLabel(tr("Tidyfold"), "Label2", Picture1, 62);
    lblVersion = BannerLabel(QStringLiteral("v"), "lblVersion", Picture1, 92);
    return Picture1;
}

QLayout* frmMain::BuildProgressArea()
{
    lblProgress = HiddenKeepingRoom(Named(new QLabel(tr("Current File Progress")), "lblProgress"));
    pbFile = HiddenKeepingRoom(Named(new QProgressBar, "pbFile"));
    pbFile->setRange(0, 100);
    pbFile->reset();
    lblTotal = HiddenKeepingRoom(Named(new QLabel(tr("Total Progress")), "lblTotal"));
    pbBar = HiddenKeepingRoom(Named(new QProgressBar, "pbBar"));
    pbBar->reset();
    // Each bar is read out under its heading's caption.
    pbFile->setAccessibleName(lblProgress->text());
    pbBar->setAccessibleName(lblTotal->text());
    lblProgress->setBuddy(pbFile);
    lblTotal->setBuddy(pbBar);

    auto* area = new QVBoxLayout;
    area->addWidget(lblProgress);
    area->addWidget(pbFile);
    area->addWidget(lblTotal);
    area->addWidget(pbBar);
    return area;
}

QLayout* frmMain::BuildButtonRow()
{
    cmdClean = Named(new QPushButton(tr("Clean Desktop")), "cmdClean");
    cmdClearUC = Named(new QPushButton(tr("Clean Uncompressed Folders")), "cmdClearUC");
    cmdDelEmptyFolders = Named(new QPushButton(tr("Remove Empty Folders")), "cmdDelEmptyFolders");
    cmdStop = Named(new QPushButton(tr("Stop")), "cmdStop");
    connect(cmdClean, &QPushButton::clicked, this, &frmMain::cmdClean_Click);
    connect(cmdClearUC, &QPushButton::clicked, this, &frmMain::cmdClearUC_Click);
    connect(cmdDelEmptyFolders, &QPushButton::clicked, this, &frmMain::cmdDelEmptyFolders_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmMain::cmdStop_Click);

    // Stop keeps its own narrow width; the other three share the rest.
    cmdStop->setFixedWidth(cmdStop->fontMetrics().horizontalAdvance(cmdStop->text()) + 28);
    auto* row = new QHBoxLayout;
    row->addWidget(cmdClean);
    row->addWidget(cmdClearUC);
    row->addWidget(cmdDelEmptyFolders);
    row->addWidget(cmdStop);
    return row;
}

QLayout* frmMain::BuildLastPassRow()
{
    lblLastPass = Lines("lblLastPass", 2);
    cmdOpenHistory = Named(new QPushButton(tr("History...")), "cmdOpenHistory");
    cmdOpenHistory->setToolTip(tr("Every pass, what it did to each file, and Undo"));
    connect(cmdOpenHistory, &QPushButton::clicked, this, &frmMain::mnuFileHistory_Click);
    auto* row = new QHBoxLayout;
    row->addWidget(lblLastPass, 1);
    row->addWidget(cmdOpenHistory, 0, Qt::AlignTop);
    return row;
}

void frmMain::ShowWhatItDoes()
{
    QString what;
    try {
        cOptions settings;
        settings.LoadOptions();
        std::string desktop;
        try {
            desktop = cSpecialFolders().Desktop();
        } catch (const Error&) {
            desktop = HomeFolder() + "/Desktop";  // the pass will say why it cannot run
        }
        what = WhatCleanDesktopDoes(settings, desktop, HomeFolder());
    } catch (const Error& error) {
        what = tr("Clean Desktop cannot run with the settings as they are: %1")
                   .arg(ErrorText(error).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
    SetFitting(lblWhatItDoes, what, 3);

    QString last;
    try {
        // The history is made by the first pass, not by looking at it.
        const std::string path = history::History::DefaultPath();
        std::vector<history::PassRecord> passes;
        if (runner_ || (!path.empty() && fs::EntryExists(path)))
            passes = History().Passes(1);
        last = LastPassText(passes.empty() ? nullptr : &passes.front());
    } catch (const Error& error) {
        last = tr("The history cannot be read: %1").arg(ErrorText(error).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
    SetFitting(lblLastPass, last, 2);
}

void frmMain::BuildMenu()
{
    mnuFile = Named(menuBar()->addMenu(tr("&File")), "mnuFile");
    // The open menu is read out under its title, without the "&".
    mnuFile->setAccessibleName(tr("File"));
    mnuFileOptions = Named(mnuFile->addAction(tr("Options")), "mnuFileOptions");
    mnuFileOptions->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuFileShowLog = Named(mnuFile->addAction(tr("Show Log")), "mnuFileShowLog");
    mnuFilePreview = Named(mnuFile->addAction(tr("Preview Clean...")), "mnuFilePreview");
    mnuFileHistory = Named(mnuFile->addAction(tr("History...")), "mnuFileHistory");
    dash0 = Named(mnuFile->addSeparator(), "dash0");
    mnuFileExit = Named(mnuFile->addAction(tr("E&xit")), "mnuFileExit");
    mnuFileExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(mnuFileOptions, &QAction::triggered, this, &frmMain::mnuFileOptions_Click);
    connect(mnuFileShowLog, &QAction::triggered, this, &frmMain::mnuFileShowLog_Click);
    connect(mnuFilePreview, &QAction::triggered, this, &frmMain::mnuFilePreview_Click);
    connect(mnuFileHistory, &QAction::triggered, this, &frmMain::mnuFileHistory_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);

    mnuHelp = Named(menuBar()->addMenu(tr("&Help")), "mnuHelp");
    mnuHelp->setAccessibleName(tr("Help"));
    mnuHelpAbout = Named(mnuHelp->addAction(tr("&About Tidyfold")), "mnuHelpAbout");
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
}

void frmMain::mnuHelpAbout_Click()
{
    frmAbout dialog(this);
    dialog.exec();
}

void frmMain::ReplaceCleaner()
{
    // The copy-progress routine reports to whatever engine the window holds:
    // register the new one before the old one goes.
    auto engine = std::make_unique<cTidyfold>();
    engine->Connect(this);
    engine->SetClock(clock_);
    RegisterCurrentEngine(engine.get());
    oCleaner = std::move(engine);
}

void frmMain::SetClock(Clock clock)
{
    clock_ = clock ? std::move(clock) : SystemClock();
    oCleaner->SetClock(clock_);
    // The history stamps its passes by the same clock.
    runner_.reset();
}

void frmMain::SetOperationButtonsEnabled(bool enabled)
{
    cmdClean->setEnabled(enabled);
    cmdClearUC->setEnabled(enabled);
    cmdDelEmptyFolders->setEnabled(enabled);
    // Neither starts while a pass runs: History can put files back.
    mnuFilePreview->setEnabled(enabled);
    mnuFileHistory->setEnabled(enabled);
    cmdOpenHistory->setEnabled(enabled);
}

template <typename Operation>
void frmMain::RunGuarded(Operation&& operation)
{
    // The buttons are disabled while an operation runs; this also covers a
    // click that was already queued when they were.
    if (busy_)
        return;
    {
        BusyScope busy(*this);
        try {
            operation();
        } catch (const Error& error) {
            if (!closeRequested_)
                ShowBox(ErrorText(error), QString::fromLatin1(kAppTitle), QMessageBox::Warning);
        } catch (const std::exception& error) {
            if (!closeRequested_)
                ShowBox(QString::fromLocal8Bit(error.what()), QString::fromLatin1(kAppTitle), QMessageBox::Warning);
        }
    }
    // The user closed the window while the operation ran: now it has
    // unwound, the window can go.
    if (closeRequested_) {
        close();
        return;
    }
    ShowWhatItDoes();
}

void frmMain::ShowBox(const QString& text, const QString& title, int icon)
{
    Boxes().Show(this, text, title, static_cast<QMessageBox::Icon>(icon), QMessageBox::Ok);
}

void frmMain::ShowError(const Error& error)
{
    ShowBox(ErrorText(error), QString::fromLatin1(kAppTitle), QMessageBox::Warning);
}

void frmMain::Tell(const PassReport& report, const QString& title, int icon)
{
    StepTotalBar();
    lastReport_ = report;
    if (closeRequested_)
        return;
    if (report.CouldNotRun()) {
        // Nothing was done: the error is the whole story.
        if (report.operation == Operation::CleanDesktop)
            lblPath->setText(tr("Failed."));
        ShowError(*report.error);
        return;
    }
    ShowBox(ResultLines(report, tr("; see File > Show Log.")).join(QStringLiteral("\r\n")), title, icon);
    // The work done comes first, then what stopped the rest.
    if (report.error)
        ShowError(*report.error);
    if (report.unrecorded)
        ShowError(*report.unrecorded);
    if (report.operation != Operation::CleanDesktop)
        return;
    // "Scan Complete." only after a pass that ran to its end.
    switch (report.ending) {
        case Ending::Completed:
            lblPath->setText(tr("Scan Complete."));
            break;
        case Ending::Stopped:
            lblPath->setText(tr("Stopped."));
            break;
        case Ending::Failed:
            lblPath->setText(tr("Failed."));
            break;
    }
}

void frmMain::cmdClean_Click()
{
    RunGuarded([this] {
        ReplaceCleaner();
        Tell(Runner().Run(*oCleaner, Operation::CleanDesktop, oOptions.get()), tr("Done!"), QMessageBox::Information);
    });
}

void frmMain::mnuFilePreview_Click()
{
    RunGuarded([this] {
        ReplaceCleaner();
        oOptions->LoadOptions();
        const CleanPlan plan = history::PassRunner::Plan(*oCleaner, Operation::CleanDesktop);
        lblPath->setText(tr("Idle."));
        frmPreview preview(plan, this);
        if (preview.exec() != QDialog::Accepted || closeRequested_)
            return;
        const std::vector<bool> chosen = preview.Chosen();
        // A new engine for the pass: a Stop pressed while the plan was made
        // belongs to the plan.
        ReplaceCleaner();
        Tell(Runner().CarryOut(*oCleaner, plan, chosen), tr("Done!"), QMessageBox::Information);
    });
}

void frmMain::cmdClearUC_Click()
{
    RunGuarded([this] {
        cTidyfold engine;  // its events are not shown
        engine.SetClock(clock_);
        // Reading archives takes time: Stop ends the check under way.
        sideEngine_ = &engine;
        struct Release {
            cTidyfold*& engine;
            ~Release() { engine = nullptr; }
        } release{sideEngine_};
        Tell(Runner().Run(engine, Operation::CleanUncompressed), QString::fromLatin1(kAppTitle), QMessageBox::NoIcon);
    });
}

void frmMain::cmdDelEmptyFolders_Click()
{
    RunGuarded([this] {
        cTidyfold engine;
        engine.SetClock(clock_);
        Tell(Runner().Run(engine, Operation::RemoveEmptyFolders), tr("Done!"), QMessageBox::Information);
    });
}

void frmMain::cmdStop_Click()
{
    // Stays set on this engine when no pass runs; the next Clean Desktop
    // starts with a new one. A copy under way is abandoned cleanly.
    oCleaner->Cancel(kTrue);
    oCleaner->AbandonCopy();
    if (sideEngine_ != nullptr) {
        sideEngine_->Cancel(kTrue);
        sideEngine_->AbandonCopy();
    }
}

void frmMain::mnuFileOptions_Click()
{
    // Built afresh at every opening, so it reads the settings file again.
    frmOptions dialog(this);
    dialog.exec();
    ShowWhatItDoes();
}

void frmMain::mnuFileShowLog_Click()
{
    const QStringList lines = lastReport_ ? LogLines(*lastReport_) : QStringList();
    if (lines.isEmpty()) {
        ShowBox(tr("The log of the last pass is empty."), QString::fromLatin1(kAppTitle), QMessageBox::Information);
        return;
    }
    auto* viewer = Named(new QDialog(this), "frmLog");
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(tr("Log"));
    auto* text = Named(new QPlainTextEdit(lines.join(QLatin1Char('\n'))), "txtLog");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setAccessibleName(tr("Log"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, viewer, &QDialog::close);
    auto* layout = new QVBoxLayout(viewer);
    layout->addWidget(text);
    layout->addWidget(buttons);
    viewer->resize(640, 360);
    viewer->show();
}

history::History& frmMain::History() { return Runner().Recorded(); }

history::PassRunner& frmMain::Runner()
{
    // The history is opened when the first pass needs it: a window whose
    // history cannot be opened still starts, and says why at the pass.
    if (!runner_)
        runner_ = std::make_unique<history::PassRunner>(history::PassOrigin::Window, nullptr, clock_);
    return *runner_;
}

void frmMain::mnuFileHistory_Click()
{
    RunGuarded([this] {
        frmHistory dialog(History(), this);
        dialog.exec();
    });
}

void frmMain::mnuFileExit_Click()
{
    close();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        // Leaving in the middle of a pass: stop it at its next check and
        // abandon a copy under way cleanly (its temporary file goes, the
        // Desktop file stays). The window closes once the pass has unwound.
        closeRequested_ = true;
        oCleaner->Cancel(kTrue);
        oCleaner->AbandonCopy();
        if (sideEngine_ != nullptr) {
            sideEngine_->Cancel(kTrue);
            sideEngine_->AbandonCopy();
        }
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void frmMain::ScanningFile(std::string sPath)
{
    // A repaint of the status line only; the window's layout stays as it is.
    lblPath->setPath(scanningPrefix_, std::move(sPath));
}

void frmMain::MovingFile(std::string sPath)
{
    lblPath->setPath(movingPrefix_, std::move(sPath));
    // One step of the total bar per file, handed to the bar when the event
    // loop next runs and when the pass ends: a progress bar works out what
    // it shows at every new value, and repaints at once when that moves,
    // which for thousands of small moves costs more than the moves.
    if (pendingSteps_++ == 0)
        stepTimer_.start(0, this);
}

void frmMain::StepTotalBar()
{
    stepTimer_.stop();
    if (pendingSteps_ == 0)
        return;
    pbBar->setValue(pbBar->value() + pendingSteps_);
    pendingSteps_ = 0;
}

void frmMain::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == stepTimer_.timerId())
        StepTotalBar();
    else
        QMainWindow::timerEvent(event);
}

void frmMain::SetFileCount(std::int32_t lCount)
{
    stepTimer_.stop();
    pendingSteps_ = 0;
    lblProgress->show();
    lblTotal->show();
    pbFile->show();
    pbBar->show();
    pbBar->setMaximum(lCount);
    pbBar->setMinimum(0);
    pbBar->setValue(0);
}

void frmMain::CopyProgressRoutine(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred)
{
    if (TotalFileSize == 0)
        return;
    pbFile->setMaximum(100);
    pbFile->setMinimum(0);
    // Rounded to the nearest whole percent, a tie to the even one (the
    // default rounding mode of nearbyint).
    const double percent = static_cast<double>(TotalBytesTransferred) / static_cast<double>(TotalFileSize) * 100.0;
    pbFile->setValue(static_cast<int>(std::nearbyint(std::clamp(percent, -32768.0, 32767.0))));
}

}  // namespace tidyfold::ui
