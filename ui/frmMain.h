#pragma once

#include <QBasicTimer>
#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "base/Error.h"
#include "engine/Clock.h"
#include "engine/Events.h"
#include "engine/PassReport.h"
#include "engine/cTidyfold.h"
#include "settings/cOptions.h"

namespace tidyfold::history {
class History;
class PassRunner;
}  // namespace tidyfold::history

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;

namespace tidyfold::ui {

class ElidedLabel;

// The main window: four buttons that each run one engine operation, a File
// menu, and a progress area driven by the engine's events.
class frmMain : public QMainWindow, private cTidyfoldEvents {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The engine of the current or last Clean Desktop pass.
    cTidyfold* Cleaner() const { return oCleaner.get(); }
    // True while an operation runs.
    bool Busy() const { return busy_; }
    // The clock every engine of the window takes "now" from; an empty one
    // restores the system's. Tests set it rather than wait for files to age.
    void SetClock(Clock clock);

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    class BusyScope;

    QWidget* BuildBanner();
    QLayout* BuildProgressArea();
    QLayout* BuildButtonRow();
    void BuildMenu();
    QLayout* BuildLastPassRow();
    void ReplaceCleaner();
    // Says what Clean Desktop will do with the settings as saved now, and
    // what the newest pass of the history did: at start-up, after Options
    // closes and after every operation.
    void ShowWhatItDoes();

    void cmdClean_Click();
    void cmdClearUC_Click();
    void cmdDelEmptyFolders_Click();
    void cmdStop_Click();
    void mnuFileOptions_Click();
    void mnuFileShowLog_Click();
    void mnuFilePreview_Click();
    void mnuFileHistory_Click();
    void mnuFileExit_Click();
    void mnuHelpAbout_Click();

    // The engine's events.
    void MovingFile(std::string sPath) override;
    void ScanningFile(std::string sPath) override;
    void SetFileCount(std::int32_t lCount) override;
    void CopyProgressRoutine(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred) override;

    // Hands the steps of the total bar kept since it was last set to it.
    void StepTotalBar();
    void SetOperationButtonsEnabled(bool enabled);
    template <typename Operation>
    void RunGuarded(Operation&& operation);
    void ShowBox(const QString& text, const QString& title, int icon);
    // The history of passes, opened at its first use. Throws.
    history::History& History();
    // Runs every pass of the window and records it in the history.
    history::PassRunner& Runner();
    // Tells what a pass did: its result box (title and icon as the
    // operation's own), then the error that ended it, the status line, and
    // keeps the account for Show Log.
    void Tell(const PassReport& report, const QString& title, int icon);
    void ShowError(const Error& error);

    std::unique_ptr<cTidyfold> oCleaner;
    std::unique_ptr<cOptions> oOptions;
    Clock clock_ = SystemClock();
    std::unique_ptr<history::PassRunner> runner_;
    // The account of the last pass, for Show Log.
    std::optional<PassReport> lastReport_;
    bool busy_ = false;
    int pendingSteps_ = 0;
    QBasicTimer stepTimer_;
    bool closeRequested_ = false;
    // The short-lived engine of Clean Uncompressed Folders while it runs:
    // Stop and closing the window reach it as they reach oCleaner.
    cTidyfold* sideEngine_ = nullptr;

    // Translated once: the status line changes for every scanned file.
    QString scanningPrefix_;
    QString movingPrefix_;

    QLabel* Picture1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblProgress = nullptr;
    QProgressBar* pbFile = nullptr;
    QLabel* lblTotal = nullptr;
    QProgressBar* pbBar = nullptr;
    QPushButton* cmdClean = nullptr;
    QPushButton* cmdClearUC = nullptr;
    QPushButton* cmdDelEmptyFolders = nullptr;
    QPushButton* cmdStop = nullptr;
    ElidedLabel* lblPath = nullptr;
    QLabel* lblWhatItDoes = nullptr;
    QLabel* lblLastPass = nullptr;
    QPushButton* cmdOpenHistory = nullptr;
    QLabel* lblPreviewHint = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* mnuFileOptions = nullptr;
    QAction* mnuFileShowLog = nullptr;
    QAction* mnuFilePreview = nullptr;
    QAction* mnuFileHistory = nullptr;
    QAction* dash0 = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpAbout = nullptr;
};

}  // namespace tidyfold::ui
