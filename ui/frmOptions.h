#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "settings/cOptions.h"
#include "ui/Schedule.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTextEdit;

namespace tidyfold::ui {

class ElidedLabel;
class KeepPage;
class SchedulePage;

// The Options dialog: edits its own cOptions and writes settings.ini on Apply
// or on a confirmed OK.
//
// Object names follow the classic control names. Qt names cannot hold an
// index in brackets, so an indexed control "name(i)" is named "name_i":
// picOptions_0, Label4_1, optCopyorMove_2 and so on.
class frmOptions : public QDialog, private cOptionsEvents {
    Q_OBJECT
public:
    explicit frmOptions(QWidget* parent = nullptr);
    ~frmOptions() override;

    // The settings being edited, for the tests' eyes.
    const cOptions& OptionEngine() const { return *OptionEngine_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildGeneralPage();
    QWidget* BuildFileOpsPage();
    QLayout* BuildButtonRow();
    void ConnectControls();
    void Load();
    void LoadLicense();
    void CenterOnScreen();

    void TrashPathSet(std::string sPath) override;

    void tbsOptions_Click(int index);
    bool HandleDialogKey(const QKeyEvent& key);
    void txtTimeLimit_LostFocus();
    void cmdBrowse_Click();
    void cmdApply_Click();
    void cmdOK_Click();
    void CommitTimeLimitBeforeButton();
    bool Save();
    bool ApplySchedule();
    void ShowError(const QString& text);
    // Delete and Trash modes store nothing in the offload folder: its
    // caption and button are disabled then, and its value kept.
    void ShowOffloadFolderApplies();

    // Everything the dialog edits, as shown now: a change is a value that
    // differs from what was last saved, so changing and changing back is
    // none.
    struct Values {
        std::string offload;
        TransferMode mode = TransferMode::CopyThenDelete;
        float timeLimit = 0;
        std::int16_t delUCFolders = 0;
        std::int16_t delNullFiles = 0;
        std::vector<std::string> keep;
        ScheduleChoice schedule = ScheduleChoice::Never;
        bool operator==(const Values&) const = default;
    };
    Values Shown() const;

    std::unique_ptr<cOptions> OptionEngine_;
    bool checkingTimeLimit_ = false;
    // What the schedule had installed when the dialog read it, or last put
    // in place: a save installs only a change.
    ScheduleChoice installedSchedule_ = ScheduleChoice::Never;
    // What the last save wrote (the schedule: what it installed).
    Values saved_;

    QTabWidget* tbsOptions = nullptr;
    QLabel* Label5 = nullptr;
    QTextEdit* rtfLicense = nullptr;
    QLabel* Label4_0 = nullptr;
    QLineEdit* txtTimeLimit = nullptr;
    QLabel* Label4_1 = nullptr;
    QCheckBox* chkDelUCFolders = nullptr;
    QLabel* Label1_0 = nullptr;
    QRadioButton* optCopyorMove[4] = {};
    QLabel* Label1_1 = nullptr;
    ElidedLabel* lblTrashPath = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QCheckBox* chkDelNullFiles = nullptr;
    SchedulePage* picSchedule = nullptr;
    KeepPage* picKeep = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;
};

}  // namespace tidyfold::ui
