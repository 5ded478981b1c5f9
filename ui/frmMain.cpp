#include "ui/frmMain.h"

#include <QAction>
#include <QCloseEvent>
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
#include "engine/Passes.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "shell/cSpecialFolders.h"
#include "ui/AppIcon.h"
#include "ui/ElidedLabel.h"
#include "ui/MessageBoxes.h"
#include "ui/Named.h"
#include "ui/Text.h"
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

QString VersionText()
{
    return QStringLiteral("v%1.%2.%3")
        .arg(TIDYFOLD_VERSION_MAJOR)
        .arg(TIDYFOLD_VERSION_MINOR)
        .arg(TIDYFOLD_VERSION_PATCH);
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
    layout->addLayout(BuildButtonRow());
    lblPath = Named(new ElidedLabel(tr("Idle.")), "lblPath");
    // Screen readers find the window's status where they look for it.
    lblPath->setAccessibleRole(QAccessible::StatusBar);
    layout->addWidget(lblPath);
    setCentralWidget(central);
    BuildMenu();

    // Load: an engine whose events this window shows, and the window's own
    // settings, read at every Clean Desktop.
    ReplaceCleaner();
    oOptions = std::make_unique<cOptions>();
    lblVersion->setText(VersionText());

    adjustSize();
    setFixedSize(size());
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
}

void frmMain::SetOperationButtonsEnabled(bool enabled)
{
    cmdClean->setEnabled(enabled);
    cmdClearUC->setEnabled(enabled);
    cmdDelEmptyFolders->setEnabled(enabled);
    // Neither starts while a pass runs: History can put files back.
    mnuFilePreview->setEnabled(enabled);
    mnuFileHistory->setEnabled(enabled);
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
    if (closeRequested_)
        close();
}

void frmMain::ShowBox(const QString& text, const QString& title, int icon)
{
    Boxes().Show(this, text, title, static_cast<QMessageBox::Icon>(icon), QMessageBox::Ok);
}

template <typename Operation>
std::optional<Error> frmMain::Recorded(cTidyfold& engine, history::PassKind kind, Operation&& operation)
{
    history::PassStart start;
    start.kind = kind;
    if (kind == history::PassKind::CleanDesktop)
        start.mode = ModeNumber(oOptions->CopyAction());
    // Where the pass expects to work; the engine names the folders it opens
    // before its first change.
    start.desktop = cSpecialFolders().Desktop();
    start.offload = oOptions->OffloadPath();
    // Nothing is done that the history does not know about: a history that
    // cannot be written stops the operation before it starts.
    const std::unique_ptr<history::PassRecorder> pass = History().Begin(start);
    engine.Journal(pass.get());
    Ended ended{history::PassEnding::Completed, {}};
    try {
        ended = operation();
    } catch (const Error& error) {
        engine.Journal(nullptr);
        try {
            pass->End(history::PassEnding::Failed, ErrorText(error).toStdString());
        } catch (const Error&) {
            // Left to recovery at the next start; the first error is shown.
        }
        throw;
    }
    engine.Journal(nullptr);
    if (engine.Cancel() != 0 && ended.ending == history::PassEnding::Completed)
        ended.ending = history::PassEnding::Stopped;
    try {
        pass->End(ended.ending, ended.error);
    } catch (const Error& error) {
        return error;
    }
    return std::nullopt;
}

frmMain::Ended frmMain::ClosingFailed(const Error& error, std::optional<Error>& closing)
{
    // A failure of the closing removal of empty folders must not hide what
    // the pass did: the result is shown, then the error.
    if (!oCleaner->ReachedCleanUp()) {
        lblPath->setText(tr("Failed."));
        throw error;
    }
    closing = error;
    return Ended{history::PassEnding::Failed, ErrorText(error).toStdString()};
}

void frmMain::ReportClean(const PassResult& result, const std::optional<Error>& closing,
                          const std::optional<Error>& unrecorded)
{
    if (closeRequested_)
        return;
    // Failed copies and moves are not a success to keep quiet about.
    QStringList message;
    for (const std::string& line : ResultLines(result, "; see File > Show Log."))
        message << QString::fromStdString(line);
    ShowBox(message.join(QStringLiteral("\r\n")), tr("Done!"), QMessageBox::Information);
    if (closing) {
        lblPath->setText(tr("Failed."));
        ShowBox(ErrorText(*closing), QString::fromLatin1(kAppTitle), QMessageBox::Warning);
    }
    if (unrecorded)
        ShowBox(ErrorText(*unrecorded), QString::fromLatin1(kAppTitle), QMessageBox::Warning);
    // "Scan Complete." only after a pass that ran to its end.
    if (!closing)
        lblPath->setText(result.stopped ? tr("Stopped.") : tr("Scan Complete."));
}

void frmMain::cmdClean_Click()
{
    RunGuarded([this] {
        ReplaceCleaner();
        PassResult result;
        std::optional<Error> closing;
        try {
            oOptions->LoadOptions();
            // Unsafe settings stop the pass before unpacked folders are removed.
            oCleaner->CheckSettings();
        } catch (const Error&) {
            lblPath->setText(tr("Failed."));
            throw;
        }
        const std::optional<Error> unrecorded = Recorded(*oCleaner, history::PassKind::CleanDesktop, [&] {
            try {
                if (oOptions->DelUCFolders() == 1)
                    result.unpackedRemoved = oCleaner->ProcessCompressed(cSpecialFolders().Desktop());
                // Stopped while unpacked folders were checked: no pass follows.
                if (!oCleaner->Stopped())
                    oCleaner->Clean();
            } catch (const Error& error) {
                return ClosingFailed(error, closing);
            }
            return Ended{history::PassEnding::Completed, {}};
        });
        TakeCleanResult(*oCleaner, result);
        ReportClean(result, closing, unrecorded);
    });
}

void frmMain::mnuFilePreview_Click()
{
    RunGuarded([this] {
        ReplaceCleaner();
        oOptions->LoadOptions();
        const CleanPlan plan = oCleaner->PlanClean();
        lblPath->setText(tr("Idle."));
        frmPreview preview(plan, this);
        if (preview.exec() != QDialog::Accepted || closeRequested_)
            return;
        const std::vector<bool> chosen = preview.Chosen();
        // A new engine for the pass: a Stop pressed while the plan was made
        // belongs to the plan.
        ReplaceCleaner();
        PassResult result;
        std::optional<Error> closing;
        cTidyfold::CarriedOut done;
        const std::optional<Error> unrecorded = Recorded(*oCleaner, history::PassKind::CleanDesktop, [&] {
            try {
                done = oCleaner->CarryOut(plan, chosen);
            } catch (const Error& error) {
                return ClosingFailed(error, closing);
            }
            return Ended{history::PassEnding::Completed, {}};
        });
        if (plan.Count(JournalAction::RemoveUnpackedFolder) > 0)
            result.unpackedRemoved = done.unpacked;
        TakeCleanResult(*oCleaner, result);
        ReportClean(result, closing, unrecorded);
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
        PassResult result;
        result.operation = Operation::CleanUnpacked;
        const std::optional<Error> unrecorded = Recorded(engine, history::PassKind::CleanUncompressed, [&] {
            result.unpackedRemoved = engine.ProcessCompressed(cSpecialFolders().Desktop());
            return Ended{history::PassEnding::Completed, {}};
        });
        result.stopped = engine.Stopped();
        QStringList message;
        for (const std::string& line : ResultLines(result))
            message << QString::fromStdString(line);
        ShowBox(message.join(QStringLiteral("\r\n")), QString::fromLatin1(kAppTitle), QMessageBox::NoIcon);
        if (unrecorded)
            ShowBox(ErrorText(*unrecorded), QString::fromLatin1(kAppTitle), QMessageBox::Warning);
    });
}

void frmMain::cmdDelEmptyFolders_Click()
{
    RunGuarded([this] {
        cTidyfold engine;
        engine.SetClock(clock_);
        const std::optional<Error> unrecorded = Recorded(engine, history::PassKind::RemoveEmptyFolders, [&] {
            engine.CleanUpFolders(cSpecialFolders().Desktop());
            return Ended{history::PassEnding::Completed, {}};
        });
        ShowBox(tr("Emptiy folders cleaned up!"), tr("Done!"), QMessageBox::Information);
        if (unrecorded)
            ShowBox(ErrorText(*unrecorded), QString::fromLatin1(kAppTitle), QMessageBox::Warning);
    });
}

void frmMain::cmdStop_Click()
{
    // Stays set on this engine when no pass runs; the next Clean Desktop
    // starts with a new one.
    oCleaner->Cancel(kTrue);
    if (sideEngine_ != nullptr)
        sideEngine_->Cancel(kTrue);
}

void frmMain::mnuFileOptions_Click()
{
    // Built afresh at every opening, so it reads the settings file again.
    frmOptions dialog(this);
    dialog.exec();
}

void frmMain::mnuFileShowLog_Click()
{
    const std::string log = oCleaner->Log();
    if (log.empty()) {
        ShowBox(tr("The log of the last pass is empty."), QString::fromLatin1(kAppTitle), QMessageBox::Information);
        return;
    }
    auto* viewer = Named(new QDialog(this), "frmLog");
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(tr("Log"));
    auto* text = Named(new QPlainTextEdit(PathText(log).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))),
                       "txtLog");
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

history::History& frmMain::History()
{
    if (!history_)
        history_ = history::History::OpenDefault(clock_);
    return *history_;
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
        if (sideEngine_ != nullptr)
            sideEngine_->Cancel(kTrue);
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
    pbBar->setValue(pbBar->value() + 1);
}

void frmMain::SetFileCount(std::int32_t lCount)
{
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
