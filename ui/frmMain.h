#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "engine/Clock.h"
#include "engine/Events.h"
#include "engine/cTidyfold.h"
#include "settings/cOptions.h"

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

private:
    class BusyScope;

    QWidget* BuildBanner();
    QLayout* BuildProgressArea();
    QLayout* BuildButtonRow();
    void BuildMenu();
    void ReplaceCleaner();

    void cmdClean_Click();
    void cmdClearUC_Click();
    void cmdDelEmptyFolders_Click();
    void cmdStop_Click();
    void mnuFileOptions_Click();
    void mnuFileShowLog_Click();
    void mnuFileExit_Click();

    // The engine's events.
    void MovingFile(std::string sPath) override;
    void ScanningFile(std::string sPath) override;
    void SetFileCount(std::int32_t lCount) override;
    void CopyProgressRoutine(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred) override;

    void SetOperationButtonsEnabled(bool enabled);
    template <typename Operation>
    void RunGuarded(Operation&& operation);
    void ShowBox(const QString& text, const QString& title, int icon);

    std::unique_ptr<cTidyfold> oCleaner;
    std::unique_ptr<cOptions> oOptions;
    Clock clock_ = SystemClock();
    bool busy_ = false;
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
    QMenu* mnuFile = nullptr;
    QAction* mnuFileOptions = nullptr;
    QAction* mnuFileShowLog = nullptr;
    QAction* dash0 = nullptr;
    QAction* mnuFileExit = nullptr;
};

}  // namespace tidyfold::ui
