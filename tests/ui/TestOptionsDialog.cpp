// The Options dialog driven through its real widgets, found by object name.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <cerrno>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "GuiTestSupport.h"
#include "base/Error.h"
#include "fs/Fault.h"
#include "fs/FileSystem.h"
#include "settings/SettingsText.h"
#include "ui/BrowseForFolder.h"
#include "ui/ElidedLabel.h"
#include "ui/Schedule.h"
#include "ui/frmOptions.h"

using tidyfold::test::Get;
using tidyfold::test::ScriptedBoxes;
using tidyfold::ui::ElidedLabel;
using tidyfold::ui::frmOptions;

using tidyfold::ui::ScheduleChoice;

// A schedule that installs nothing and remembers what it was asked.
class FakeSchedule final : public tidyfold::ui::Schedule {
public:
    FakeSchedule() { tidyfold::ui::SetSchedule(this); }
    ~FakeSchedule() override { tidyfold::ui::SetSchedule(nullptr); }
    ScheduleChoice Current() override { return installed; }
    std::string Apply(ScheduleChoice choice) override
    {
        applied.push_back(choice);
        if (failure)
            throw *failure;
        installed = choice;
        return note;
    }

    ScheduleChoice installed = ScheduleChoice::Never;
    std::vector<ScheduleChoice> applied;
    std::string note;
    std::optional<tidyfold::Error> failure;
};

class TestOptionsDialog : public QObject, private tidyfold::test::WindowFixture {
    Q_OBJECT

private:

    // Shows the dialog as a user would see it, so focus moves for real.
    static void ShowActive(frmOptions& dialog)
    {
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
    }

    // Types text into the time-limit box, then moves the focus away.
    static void EnterTimeLimit(frmOptions& dialog, const QString& text)
    {
        auto* box = Get<QLineEdit>(dialog, "txtTimeLimit");
        box->setFocus(Qt::TabFocusReason);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
        Get<QCheckBox>(dialog, "chkDelUCFolders")->setFocus(Qt::TabFocusReason);
    }

    // The controls of a page take clicks only while its tab is selected.
    static void SelectFileOperations(frmOptions& dialog)
    {
        Get<QTabWidget>(dialog, "tbsOptions")->setCurrentIndex(1);
    }

    // A change after Apply, by what it changes.
    struct ChangeCase {
        const char* what;
        std::function<void(frmOptions&)> change;
        std::function<void(frmOptions&)> changeBack;  // empty: not undone
        const char* written;                          // in settings.ini after Yes; empty: no question
        ScheduleChoice installed;
    };
    static void ChooseMode(frmOptions& dialog, int i)
    {
        SelectFileOperations(dialog);
        Get<QRadioButton>(dialog, QString("optCopyorMove_%1").arg(i).toLatin1())->click();
    }
    static void ChooseSchedule(frmOptions& dialog, int i)
    {
        Get<QTabWidget>(dialog, "tbsOptions")->setCurrentIndex(2);
        Get<QRadioButton>(dialog, QString("optSchedule_%1").arg(i).toLatin1())->click();
    }
    static std::vector<ChangeCase> ChangeCases()
    {
        auto mode = [](int i) { return [i](frmOptions& dialog) { ChooseMode(dialog, i); }; };
        auto when = [](int i) { return [i](frmOptions& dialog) { ChooseSchedule(dialog, i); }; };
        auto keep = [](frmOptions& dialog) {
            Get<QTabWidget>(dialog, "tbsOptions")->setCurrentIndex(3);
            QTest::keyClicks(Get<QLineEdit>(dialog, "txtKeepPattern"), "*.kdbx");
            Get<QPushButton>(dialog, "cmdKeepAdd")->click();
        };
        return {
            {"a mode", mode(3), {}, "CopyAction=3", ScheduleChoice::AtLogin},
            {"the schedule", when(0), {}, "CopyAction=1", ScheduleChoice::Never},
            {"the keep list", keep, {}, "=*.kdbx", ScheduleChoice::AtLogin},
            {"a mode changed back", mode(2), mode(1), "", ScheduleChoice::AtLogin},
            {"the schedule changed back", when(2), when(1), "", ScheduleChoice::AtLogin},
        };
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        Start();
    }

    void cleanup() { Stop(); }

    void captions_are_the_programs_own_words()
    {
        frmOptions dialog;
        QCOMPARE(dialog.windowTitle(), QString("Options"));
        auto* tabs = Get<QTabWidget>(dialog, "tbsOptions");
        QCOMPARE(tabs->count(), 4);
        const QString texts[] = {"General", "File Operations", "Schedule", "Keep"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(tabs->tabText(i), texts[i]);
            QCOMPARE(tabs->widget(i)->objectName(), QString("picOptions_%1").arg(i));
        }
        QCOMPARE(tabs->tabToolTip(0), QString("General Tidyfold Options"));
        QCOMPARE(tabs->tabToolTip(1), QString("Set options on how to handle file operations"));
        QCOMPARE(Get<QLabel>(dialog, "Label5")->text(), QString("Please make sure you have read the license agreeement!"));
        QCOMPARE(Get<QLabel>(dialog, "Label4_0")->text(), QString("Clean files if they are more than "));
        QCOMPARE(Get<QLabel>(dialog, "Label4_1")->text(), QString("days old."));
        QCOMPARE(Get<QCheckBox>(dialog, "chkDelUCFolders")->text(),
                 QString("Delete Uncompressed folders when compressed file present."));
        QCOMPARE(Get<QLabel>(dialog, "Label1_0")->text(),
                 QString("When Cleaning the desktop, how do you want to handle old files?"));
        QVERIFY(Get<QLabel>(dialog, "Label1_0")->font().bold());
        QCOMPARE(Get<QRadioButton>(dialog, "optCopyorMove_0")->text(),
                 QString("Copy the file to the new location, then delete the desktop copy."));
        QCOMPARE(Get<QRadioButton>(dialog, "optCopyorMove_1")->text(), QString("Move the file to a new location."));
        QCOMPARE(Get<QRadioButton>(dialog, "optCopyorMove_2")->text(), QString("Delete the file"));
        QCOMPARE(Get<QRadioButton>(dialog, "optCopyorMove_3")->text(), QString("Send the file to the Trash."));
        QCOMPARE(Get<QLabel>(dialog, "lblSchedule")->text(), QString("Clean my Desktop automatically:"));
        const QString schedules[] = {"Never", "At login", "Every day", "Every week"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(Get<QRadioButton>(dialog, QString("optSchedule_%1").arg(i).toLatin1())->text(), schedules[i]);
        QCOMPARE(Get<QLabel>(dialog, "Label1_1")->text(), QString("Where do I store the files moved from the desktop?"));
        QCOMPARE(Get<QPushButton>(dialog, "cmdBrowse")->text(), QString("Choose Directory"));
        QCOMPARE(Get<QCheckBox>(dialog, "chkDelNullFiles")->text(), QString("Delete Null Files"));
        QCOMPARE(Get<QCheckBox>(dialog, "chkDelNullFiles")->toolTip(), QString("Deletes files that have a 0 byte filesize"));
        QCOMPARE(Get<QPushButton>(dialog, "cmdOK")->text(), QString("OK"));
        QCOMPARE(Get<QPushButton>(dialog, "cmdCancel")->text(), QString("Cancel"));
        QCOMPARE(Get<QPushButton>(dialog, "cmdApply")->text(), QString("Apply"));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());  // fixed size
        QVERIFY(boxes->shown.isEmpty());
    }

    void load_fills_the_controls_from_the_file()
    {
        tidyfold::test::WriteFile(sandbox->SettingsFile(),
                                  "[TYFL]\nTimelimit=2.5\nCopyAction=2\nTrashPath=/srv/offload\n"
                                  "DelUCFolders=2\nDelNullFiles=0\n");
        frmOptions dialog;
        QCOMPARE(Get<ElidedLabel>(dialog, "lblTrashPath")->text(), QString("/srv/offload"));
        QCOMPARE(Get<QLineEdit>(dialog, "txtTimeLimit")->text(), QString("2.5"));
        QVERIFY(Get<QRadioButton>(dialog, "optCopyorMove_2")->isChecked());
        QVERIFY(!Get<QRadioButton>(dialog, "optCopyorMove_0")->isChecked());
        QCOMPARE(Get<QCheckBox>(dialog, "chkDelUCFolders")->checkState(), Qt::PartiallyChecked);
        QCOMPARE(Get<QCheckBox>(dialog, "chkDelNullFiles")->checkState(), Qt::Unchecked);
        QCOMPARE(dialog.OptionEngine().DelUCFolders(), std::int16_t(2));

        // A click on a hidden page's control does nothing.
        Get<QRadioButton>(dialog, "optCopyorMove_0")->click();
        QCOMPARE(ModeNumber(dialog.OptionEngine().CopyAction()), std::int16_t(2));

        // A click leaves the greyed state for good: ticked, then clear.
        auto* box = Get<QCheckBox>(dialog, "chkDelUCFolders");
        box->click();
        QCOMPARE(dialog.OptionEngine().DelUCFolders(), std::int16_t(1));
        box->click();
        QCOMPARE(box->checkState(), Qt::Unchecked);
        QCOMPARE(dialog.OptionEngine().DelUCFolders(), std::int16_t(0));
        box->click();
        QCOMPARE(box->checkState(), Qt::Checked);
    }

    void defaults_without_a_file_and_odd_stored_values()
    {
        {
            frmOptions dialog;
            QCOMPARE(Get<QLineEdit>(dialog, "txtTimeLimit")->text(), QString("7"));
            QVERIFY(Get<QRadioButton>(dialog, "optCopyorMove_0")->isChecked());
            QCOMPARE(Get<QCheckBox>(dialog, "chkDelNullFiles")->checkState(), Qt::Checked);
        }
        tidyfold::test::WriteFile(sandbox->SettingsFile(),
                                  "[TYFL]\nCopyAction=7\nDelUCFolders=-1\nDelNullFiles=5\n");
        frmOptions dialog;
        for (const char* name : {"optCopyorMove_0", "optCopyorMove_1", "optCopyorMove_2", "optCopyorMove_3"})
            QVERIFY2(!Get<QRadioButton>(dialog, name)->isChecked(), name);
        QCOMPARE(Get<QCheckBox>(dialog, "chkDelUCFolders")->checkState(), Qt::Unchecked);
        QCOMPARE(Get<QCheckBox>(dialog, "chkDelNullFiles")->checkState(), Qt::Unchecked);
        QVERIFY(boxes->shown.isEmpty());
    }

    void a_bad_settings_file_is_reported_and_the_dialog_still_opens()
    {
        // The first four keys load; the fifth does not convert.
        tidyfold::test::WriteFile(sandbox->SettingsFile(),
                                  "[TYFL]\nTimelimit=3\nCopyAction=1\nTrashPath=/x\nDelUCFolders=0\nDelNullFiles=yes\n");
        frmOptions dialog;
        QCOMPARE(boxes->shown.size(), 1);
        // The box names the key and the file, not only the conversion.
        QCOMPARE(boxes->shown[0].text, QString("Error 13: Type mismatch\nCannot read the setting \"DelNullFiles\" in ") +
                                           QString::fromStdString(sandbox->SettingsFile()));
        QCOMPARE(boxes->shown[0].title, QString("TYFL"));
        QCOMPARE(Get<QLineEdit>(dialog, "txtTimeLimit")->text(), QString("3"));
        QVERIFY(Get<QRadioButton>(dialog, "optCopyorMove_1")->isChecked());
        QCOMPARE(Get<ElidedLabel>(dialog, "lblTrashPath")->text(), QString("/x"));
    }

    void keys_a_failed_load_never_reached_show_and_save_their_defaults()
    {
        tidyfold::test::WriteFile(sandbox->SettingsFile(), "[TYFL]\nCopyAction=abc\nTimelimit=3\n");
        frmOptions dialog;
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(Get<QLineEdit>(dialog, "txtTimeLimit")->text(), QString("7"));
        QVERIFY(Get<QRadioButton>(dialog, "optCopyorMove_0")->isChecked());
        QCOMPARE(Get<QCheckBox>(dialog, "chkDelUCFolders")->checkState(), Qt::Checked);
        QCOMPARE(Get<QCheckBox>(dialog, "chkDelNullFiles")->checkState(), Qt::Checked);
        QCOMPARE(dialog.OptionEngine().OffloadPath(), tidyfold::DefaultTrashPath());
        Get<QPushButton>(dialog, "cmdApply")->click();
        const std::string saved = tidyfold::test::ReadFile(sandbox->SettingsFile());
        QVERIFY2(saved.find("Timelimit=7\n") != std::string::npos, saved.c_str());
    }

    void ctrl_tab_cycles_forward_and_nothing_else_moves()
    {
        frmOptions dialog;
        ShowActive(dialog);
        auto* tabs = Get<QTabWidget>(dialog, "tbsOptions");
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(tabs->widget(0)->isEnabled());
        QVERIFY(!tabs->widget(1)->isEnabled());

        // Through every tab, from the last back to the first.
        for (int next : {1, 2, 3, 0}) {
            QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(tabs->currentIndex(), next);
            for (int i = 0; i < tabs->count(); ++i)
                QCOMPARE(tabs->widget(i)->isEnabled(), i == next);
        }

        // Ctrl+Shift+Tab does nothing, however it arrives.
        QTest::keyClick(&dialog, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs->currentIndex(), 0);

        // From a focused control the key reaches the dialog first, and moves
        // one tab, not two.
        auto* limit = Get<QLineEdit>(dialog, "txtTimeLimit");
        limit->setFocus();
        QTest::keyClick(limit, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::keyClick(tabs->tabBar(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs->currentIndex(), 1);
    }

    void time_limit_check_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<float>("stored");
        QTest::newRow("letters") << "abc" << false << 7.0f;
        QTest::newRow("ten") << "10" << true << 10.0f;
        QTest::newRow("fraction") << "2.5" << true << 2.5f;
        QTest::newRow("zero") << "0" << true << 0.0f;
        QTest::newRow("negative") << "-1" << false << 7.0f;
        QTest::newRow("infinite") << "inf" << false << 7.0f;
        QTest::newRow("beyond a single") << "1e40" << false << 7.0f;
        QTest::newRow("empty keeps") << "" << true << 7.0f;
    }

    void time_limit_check()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(float, stored);
        frmOptions dialog;
        ShowActive(dialog);
        EnterTimeLimit(dialog, typed);
        QCOMPARE(dialog.OptionEngine().TimeLimit(), stored);
        auto* box = Get<QLineEdit>(dialog, "txtTimeLimit");
        if (accepted) {
            QVERIFY(boxes->shown.isEmpty());
            QCOMPARE(box->text(), typed);
        } else {
            QCOMPARE(boxes->shown.size(), 1);
            QCOMPARE(boxes->shown[0].text, QString("This value must be numeric!"));
            QCOMPARE(boxes->shown[0].title, QString("RTFM"));
            QCOMPARE(boxes->shown[0].icon, QMessageBox::Warning);
            QCOMPARE(boxes->shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(box->text(), QString());
        }
    }

    void time_limit_in_the_users_notation()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        tidyfold::test::WriteFile(sandbox->SettingsFile(), "[TYFL]\nTimelimit=2.5\n");
        frmOptions dialog;
        QCOMPARE(Get<QLineEdit>(dialog, "txtTimeLimit")->text(), QString("2,5"));
        ShowActive(dialog);
        EnterTimeLimit(dialog, "3,5");
        QCOMPARE(dialog.OptionEngine().TimeLimit(), 3.5f);
        EnterTimeLimit(dialog, "4.25");  // the plain notation is understood too
        QCOMPARE(dialog.OptionEngine().TimeLimit(), 4.25f);
        QVERIFY(boxes->shown.isEmpty());
    }

    void ok_straight_from_the_time_limit_box_checks_it_first()
    {
        frmOptions dialog;
        ShowActive(dialog);
        auto* box = Get<QLineEdit>(dialog, "txtTimeLimit");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, "abc");
        boxes->answers = {QMessageBox::Ok, QMessageBox::No};
        QTest::mouseClick(Get<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        QCOMPARE(boxes->shown.size(), 2);
        QCOMPARE(boxes->shown[0].title, QString("RTFM"));
        QCOMPARE(boxes->shown[1].title, QString("Save Options?"));
        QVERIFY(!dialog.isVisible());
    }

    void ok_at_once_asks_and_no_leaves_the_file_alone()
    {
        const std::string before = "[TYFL]\r\ntimelimit=9\r\n; a comment\r\n";
        tidyfold::test::WriteFile(sandbox->SettingsFile(), before);
        frmOptions dialog;
        ShowActive(dialog);
        boxes->answers = {QMessageBox::No};
        QTest::mouseClick(Get<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text, QString("Would you like to save your changes?"));
        QCOMPARE(boxes->shown[0].title, QString("Save Options?"));
        QCOMPARE(boxes->shown[0].icon, QMessageBox::NoIcon);
        QCOMPARE(boxes->shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(tidyfold::test::ReadFile(sandbox->SettingsFile()), before);
    }

    void ok_at_once_and_yes_writes_the_loaded_values()
    {
        frmOptions dialog;  // no file: the defaults
        boxes->answers = {QMessageBox::Yes};
        Get<QPushButton>(dialog, "cmdOK")->click();
        QCOMPARE(boxes->shown.size(), 1);
        const std::string written = tidyfold::test::ReadFile(sandbox->SettingsFile());
        QVERIFY2(written.find("Timelimit=7") != std::string::npos, written.c_str());
        QVERIFY2(written.find("CopyAction=0") != std::string::npos, written.c_str());
        QVERIFY2(written.find("DelNullFiles=1") != std::string::npos, written.c_str());
    }

    void a_change_after_apply_makes_ok_ask_again_data()
    {
        QTest::addColumn<int>("index");
        const std::vector<ChangeCase> cases = ChangeCases();
        for (std::size_t i = 0; i < cases.size(); ++i)
            QTest::newRow(cases[i].what) << static_cast<int>(i);
    }

    void a_change_after_apply_makes_ok_ask_again()
    {
        QFETCH(int, index);
        const ChangeCase c = ChangeCases()[static_cast<std::size_t>(index)];
        FakeSchedule schedule;
        frmOptions dialog;
        ChooseMode(dialog, 1);
        ChooseSchedule(dialog, 1);
        Get<QPushButton>(dialog, "cmdApply")->click();
        QCOMPARE(schedule.installed, ScheduleChoice::AtLogin);
        const std::string applied = tidyfold::test::ReadFile(sandbox->SettingsFile());
        c.change(dialog);
        if (c.changeBack)
            c.changeBack(dialog);
        boxes->answers = {QMessageBox::Yes};
        Get<QPushButton>(dialog, "cmdOK")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const std::string written = tidyfold::test::ReadFile(sandbox->SettingsFile());
        if (*c.written == 0) {
            QVERIFY(boxes->shown.isEmpty());
            QCOMPARE(written, applied);
        } else {
            QCOMPARE(boxes->shown.size(), 1);
            QCOMPARE(boxes->shown[0].text, QString("Would you like to save your changes?"));
            QCOMPARE(boxes->shown[0].title, QString("Save Options?"));
            QVERIFY2(written.find(c.written) != std::string::npos, written.c_str());
        }
        QCOMPARE(schedule.installed, c.installed);
    }

    void no_after_apply_drops_only_the_later_change()
    {
        frmOptions dialog;
        ChooseMode(dialog, 1);
        Get<QPushButton>(dialog, "cmdApply")->click();
        ChooseMode(dialog, 2);
        boxes->answers = {QMessageBox::No};
        Get<QPushButton>(dialog, "cmdOK")->click();
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY(tidyfold::test::ReadFile(sandbox->SettingsFile()).find("CopyAction=1") != std::string::npos);
    }

    void the_offload_folder_is_disabled_where_no_file_goes_there()
    {
        tidyfold::test::WriteFile(sandbox->SettingsFile(), "[TYFL]\nCopyAction=2\nTrashPath=/srv/kept\n");
        frmOptions dialog;
        SelectFileOperations(dialog);
        const bool applies[] = {true, true, false, false};
        for (int i : {2, 0, 3, 1, 2}) {
            Get<QRadioButton>(dialog, QString("optCopyorMove_%1").arg(i).toLatin1())->click();
            for (const char* name : {"Label1_1", "lblTrashPath", "cmdBrowse"})
                QVERIFY2(Get<QWidget>(dialog, name)->isEnabled() == applies[i], name);
        }
        Get<QPushButton>(dialog, "cmdApply")->click();
        const std::string written = tidyfold::test::ReadFile(sandbox->SettingsFile());
        QVERIFY2(written.find("TrashPath=/srv/kept") != std::string::npos, written.c_str());
    }

    void cancel_closes_without_saving()
    {
        frmOptions dialog;
        ShowActive(dialog);
        Get<QPushButton>(dialog, "cmdCancel")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(boxes->shown.isEmpty());
        QVERIFY(!tidyfold::test::Exists(sandbox->SettingsFile()));
    }

    void a_failed_save_is_shown_and_keeps_the_dialog_open()
    {
        tidyfold::test::WriteFile(sandbox->SettingsFile(), "[TYFL]\nCopyAction=1\n");
        frmOptions dialog;
        ShowActive(dialog);
        SelectFileOperations(dialog);
        Get<QRadioButton>(dialog, "optCopyorMove_2")->click();
        tidyfold::fs::fault::Inject(tidyfold::fs::fault::Call::Rename, EACCES);
        Get<QPushButton>(dialog, "cmdApply")->click();
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text.section('\n', 0, 0), QString("Error 13: Permission denied"));
        QCOMPARE(boxes->shown[0].title, QString("TYFL"));
        QCOMPARE(dialog.OptionEngine().Saved(), std::int16_t(0));

        // Not saved, so OK asks; the save fails again and the dialog stays.
        tidyfold::fs::fault::Inject(tidyfold::fs::fault::Call::Rename, EROFS);
        boxes->answers = {QMessageBox::Yes};
        Get<QPushButton>(dialog, "cmdOK")->click();
        QCOMPARE(boxes->shown.size(), 3);
        QCOMPARE(boxes->shown[1].title, QString("Save Options?"));
        QVERIFY(boxes->shown[2].text.startsWith("Error 30: "));
        QVERIFY(dialog.isVisible());
        QCOMPARE(tidyfold::test::ReadFile(sandbox->SettingsFile()), std::string("[TYFL]\nCopyAction=1\n"));

        // Once the folder can be written again, the same OK saves and closes.
        boxes->answers = {QMessageBox::Yes};
        Get<QPushButton>(dialog, "cmdOK")->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(tidyfold::test::ReadFile(sandbox->SettingsFile()).find("CopyAction=2") != std::string::npos);
    }

    void trash_mode_is_the_fourth_option()
    {
        tidyfold::test::WriteFile(sandbox->SettingsFile(), "[TYFL]\nCopyAction=3\n");
        frmOptions dialog;
        QVERIFY(Get<QRadioButton>(dialog, "optCopyorMove_3")->isChecked());
        SelectFileOperations(dialog);
        Get<QRadioButton>(dialog, "optCopyorMove_1")->click();
        Get<QRadioButton>(dialog, "optCopyorMove_3")->click();
        Get<QPushButton>(dialog, "cmdApply")->click();
        QVERIFY(tidyfold::test::ReadFile(sandbox->SettingsFile()).find("CopyAction=3") != std::string::npos);
    }

    void keep_list_shows_the_defaults_and_is_written_once_changed()
    {
        auto items = [](frmOptions& dialog) {
            QStringList texts;
            auto* list = Get<QListWidget>(dialog, "lstKeep");
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text();
            return texts;
        };
        {
            frmOptions dialog;  // no file: the defaults, written only once changed
            QCOMPARE(items(dialog), QStringList({"*.desktop", ".*"}));
            Get<QPushButton>(dialog, "cmdApply")->click();
            QVERIFY(tidyfold::test::ReadFile(sandbox->SettingsFile()).find("[Keep]") == std::string::npos);

            Get<QTabWidget>(dialog, "tbsOptions")->setCurrentIndex(3);
            auto* pattern = Get<QLineEdit>(dialog, "txtKeepPattern");
            // Taken as typed, blanks included, and added again when there
            // already: the order of the lines decides.
            QTest::keyClicks(pattern, " lead.txt");
            Get<QPushButton>(dialog, "cmdKeepAdd")->click();
            QTest::keyClicks(pattern, "esc.txt\\ ");
            QTest::keyClick(pattern, Qt::Key_Return);
            QTest::keyClicks(pattern, "*.desktop");
            QTest::keyClick(pattern, Qt::Key_Return);
            Get<QListWidget>(dialog, "lstKeep")->item(1)->setSelected(true);
            Get<QPushButton>(dialog, "cmdKeepRemove")->click();
            QCOMPARE(items(dialog), QStringList({"*.desktop", " lead.txt", "esc.txt\\ ", "*.desktop"}));
            Get<QPushButton>(dialog, "cmdApply")->click();
        }
        const std::vector<std::string> typed{"*.desktop", " lead.txt", "esc.txt\\ ", "*.desktop"};
        frmOptions again;
        QCOMPARE(again.OptionEngine().KeepPatterns(), std::optional(typed));
        QCOMPARE(items(again), QStringList({"*.desktop", " lead.txt", "esc.txt\\ ", "*.desktop"}));
        QVERIFY(boxes->shown.isEmpty());
    }

    void schedule_is_read_back_and_installed_on_save_only_when_changed()
    {
        {
            frmOptions dialog;  // no schedule given: nothing to choose
            QVERIFY(!Get<QRadioButton>(dialog, "optSchedule_2")->isEnabled());
        }
        FakeSchedule schedule;
        schedule.installed = ScheduleChoice::Weekly;
        schedule.note = "No systemd user manager answered.";
        frmOptions dialog;
        ShowActive(dialog);
        QVERIFY(Get<QRadioButton>(dialog, "optSchedule_3")->isChecked());
        Get<QPushButton>(dialog, "cmdApply")->click();
        QVERIFY(schedule.applied.empty());  // unchanged: nothing installed again

        Get<QTabWidget>(dialog, "tbsOptions")->setCurrentIndex(2);
        Get<QRadioButton>(dialog, "optSchedule_1")->click();
        QVERIFY(schedule.applied.empty());  // a choice is installed on saving only
        Get<QPushButton>(dialog, "cmdApply")->click();
        QCOMPARE(schedule.applied, std::vector<ScheduleChoice>{ScheduleChoice::AtLogin});
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text, QString("No systemd user manager answered."));

        // A schedule that cannot be installed says why; the next save tries
        // again.
        Get<QRadioButton>(dialog, "optSchedule_0")->click();
        schedule.failure = tidyfold::Error::System(EACCES, "cannot create", "/x/tidyfold-clean.timer");
        Get<QPushButton>(dialog, "cmdApply")->click();
        QCOMPARE(boxes->shown.size(), 2);
        QVERIFY(boxes->shown[1].text.startsWith("Error 13: Permission denied"));
        QCOMPARE(schedule.installed, ScheduleChoice::AtLogin);
        schedule.failure.reset();
        Get<QPushButton>(dialog, "cmdApply")->click();
        QCOMPARE(schedule.installed, ScheduleChoice::Never);
        QCOMPARE(schedule.applied.size(), std::size_t(3));
    }

    void browse_stores_a_safe_choice_and_keeps_the_folder_on_a_cancel_or_a_refusal()
    {
        const std::string old = sandbox->Path() + "/old";
        tidyfold::test::WriteFile(sandbox->SettingsFile(), "[TYFL]\nTrashPath=" + old + "\n");
        QString askedTitle;
        QString askedStart;
        QString answer = "/srv/new place";
        tidyfold::SetFolderDialogForTesting([&](QWidget*, const QString& title, const QString& start) {
            askedTitle = title;
            askedStart = start;
            return answer;
        });
        frmOptions dialog;
        auto* label = Get<ElidedLabel>(dialog, "lblTrashPath");
        QCOMPARE(label->text(), QString::fromStdString(old));
        SelectFileOperations(dialog);
        // Opens at home while the folder is not there, then at the folder.
        Get<QPushButton>(dialog, "cmdBrowse")->click();
        QCOMPARE(askedTitle, QString("Select a Folder"));
        QCOMPARE(askedStart, QString::fromStdString(sandbox->Home()));
        QCOMPARE(label->text(), QString("/srv/new place"));
        QCOMPARE(dialog.OptionEngine().OffloadPath(), std::string("/srv/new place"));

        // A cancel (the empty answer) and every folder a pass would refuse,
        // however typed, keep the folder that was set; a refusal says why.
        const std::string home = sandbox->Home();
        const std::vector<std::pair<QString, QString>> kept = {
            {QString(), QString()},
            {QString::fromStdString(home), "your home folder"},
            {QString::fromStdString(sandbox->Desktop() + "/."), "the Desktop folder itself"},
            {QString::fromStdString(sandbox->Path()), "holds the Desktop"},
            {"/", "the root folder"},
            {"/srv/trailing blank ", "begin or end with a blank"},
        };
        for (const auto& [typed, why] : kept) {
            answer = typed;
            boxes->shown.clear();
            Get<QPushButton>(dialog, "cmdBrowse")->click();
            QCOMPARE(label->text(), QString("/srv/new place"));
            QCOMPARE(dialog.OptionEngine().OffloadPath(), std::string("/srv/new place"));
            QCOMPARE(boxes->shown.size(), why.isEmpty() ? 0 : 1);
            if (!why.isEmpty()) {
                QVERIFY2(boxes->shown[0].text.contains(why), qPrintable(boxes->shown[0].text));
                QCOMPARE(boxes->shown[0].icon, QMessageBox::Warning);
            }
        }
        tidyfold::test::MakeDirs(old);
        answer = QString::fromStdString(old);
        Get<QPushButton>(dialog, "cmdBrowse")->click();
        Get<QPushButton>(dialog, "cmdBrowse")->click();
        QCOMPARE(askedStart, QString::fromStdString(old));
    }

    void an_unsafe_offload_folder_from_the_file_is_not_saved_back()
    {
        const std::string settings = "[TYFL]\nTrashPath=" + sandbox->Home() + "\n";
        tidyfold::test::WriteFile(sandbox->SettingsFile(), settings);
        frmOptions dialog;
        Get<QPushButton>(dialog, "cmdApply")->click();
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY(boxes->shown[0].text.contains("your home folder"));
        QCOMPARE(tidyfold::test::ReadFile(sandbox->SettingsFile()), settings);
        QCOMPARE(dialog.OptionEngine().Saved(), std::int16_t{0});
    }

    void the_agreement_is_shown_formatted()
    {
        tidyfold::test::WriteFile(sandbox->AppFolder() + "/license.rtf",
                                  "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\b Heading\\b0\\par}caf\\'e9 text\\par}");
        frmOptions dialog;
        auto* text = Get<QTextEdit>(dialog, "rtfLicense");
        QVERIFY(text->isReadOnly());
        QCOMPARE(text->toPlainText(), QString::fromUtf8("Heading\ncaf\u00e9 text"));
        QTextCursor cursor(text->document());
        cursor.movePosition(QTextCursor::NextCharacter);
        QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
        cursor.movePosition(QTextCursor::NextBlock);
        cursor.movePosition(QTextCursor::NextCharacter);
        QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Normal));
    }

    void an_installed_program_reads_the_agreement_from_its_data_folder()
    {
        // usr/bin beside usr/share/tidyfold: the layout of an installation.
        const std::string prefix = sandbox->Path() + "/usr";
        tidyfold::test::WriteFile(prefix + "/share/tidyfold/license.rtf", "{\\rtf1 installed agreement\\par}");
        tidyfold::test::WriteFile(sandbox->AppFolder() + "/license.rtf", "{\\rtf1 portable agreement\\par}");
        tidyfold::test::MakeDirs(prefix + "/bin");
        tidyfold::fs::SetApplicationFolderForTesting(prefix + "/bin");
        frmOptions dialog;
        QCOMPARE(Get<QTextEdit>(dialog, "rtfLicense")->toPlainText(), QString("installed agreement"));
    }

    void an_unreadable_agreement_leaves_the_box_empty()
    {
        // A folder in its place cannot be read, even by root.
        tidyfold::test::MakeDirs(sandbox->AppFolder() + "/license.rtf");
        {
            frmOptions dialog;
            QVERIFY(Get<QTextEdit>(dialog, "rtfLicense")->toPlainText().isEmpty());
            ShowActive(dialog);
        }
        QVERIFY(boxes->shown.isEmpty());
    }
};

QTEST_MAIN(TestOptionsDialog)
#include "TestOptionsDialog.moc"
