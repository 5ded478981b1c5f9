// What a screen reader gets from the windows, asked through QAccessible as
// the desktop's accessibility bridge asks it.

#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QPlainTextEdit>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "GuiTestSupport.h"
#include "engine/Yield.h"
#include "ui/ElidedLabel.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"

using tidyfold::TransferMode;
using tidyfold::test::Get;
using tidyfold::test::MinuteAhead;
using tidyfold::ui::ElidedLabel;

namespace {

QAccessibleInterface* Accessible(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    if (iface == nullptr)
        qFatal("no accessible interface for %s", qPrintable(object->objectName()));
    return iface;
}

QString AccessibleName(QObject* object)
{
    return Accessible(object)->text(QAccessible::Name);
}

}  // namespace

class TestAccessibility : public QObject, private tidyfold::test::WindowFixture {
    Q_OBJECT

private:
    struct Control {
        const char* name;
        QAccessible::Role role;
        QString accessibleName;
    };

    static void CheckControls(QWidget& window, const QList<Control>& controls)
    {
        for (const Control& c : controls) {
            QAccessibleInterface* iface = Accessible(Get<QWidget>(window, c.name));
            QVERIFY2(iface->role() == c.role, c.name);
            QCOMPARE(iface->text(QAccessible::Name), c.accessibleName);
        }
        const QStringList problems = tidyfold::test::AccessibilityProblems(window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init() { Start(); }
    void cleanup() { Stop(); }

    void every_control_of_the_main_window_has_a_name_and_a_role()
    {
        tidyfold::ui::frmMain window;
        window.show();
        CheckControls(window, {
                                  {"Picture1", QAccessible::Graphic, "Tidyfold banner"},
                                  {"Label2", QAccessible::StaticText, "Tidyfold"},
                                  {"lblVersion", QAccessible::StaticText, Get<QLabel>(window, "lblVersion")->text()},
                                  {"lblProgress", QAccessible::StaticText, "Current File Progress"},
                                  {"pbFile", QAccessible::ProgressBar, "Current File Progress"},
                                  {"lblTotal", QAccessible::StaticText, "Total Progress"},
                                  {"pbBar", QAccessible::ProgressBar, "Total Progress"},
                                  {"cmdClean", QAccessible::Button, "Clean Desktop"},
                                  {"cmdClearUC", QAccessible::Button, "Clean Uncompressed Folders"},
                                  {"cmdDelEmptyFolders", QAccessible::Button, "Remove Empty Folders"},
                                  {"cmdStop", QAccessible::Button, "Stop"},
                                  {"lblPath", QAccessible::StatusBar, "Idle."},
                                  {"lblWhatItDoes", QAccessible::StaticText,
                                   Get<QLabel>(window, "lblWhatItDoes")->text()},
                                  {"lblLastPass", QAccessible::StaticText, "No pass has run yet."},
                                  {"cmdOpenHistory", QAccessible::Button, "History..."},
                                  {"lblPreviewHint", QAccessible::StaticText,
                                   Get<QLabel>(window, "lblPreviewHint")->text()},
                              });
        QVERIFY(Get<QLabel>(window, "lblWhatItDoes")->text().startsWith("Files in ~/Desktop"));
        QCOMPARE(AccessibleName(Get<QWidget>(window, "mnuFile")), QString("File"));
        QCOMPARE(AccessibleName(Get<QWidget>(window, "mnuHelp")), QString("Help"));
    }

    void every_control_of_the_options_dialog_has_a_name_and_a_role()
    {
        tidyfold::cOptions options = sandbox->Options();
        options.OffloadPath("/srv/offload");
        sandbox->WriteSettings(options);
        tidyfold::ui::frmOptions dialog;
        dialog.show();
        CheckControls(dialog, {
                                  {"Label5", QAccessible::StaticText,
                                   "Please make sure you have read the license agreeement!"},
                                  {"rtfLicense", QAccessible::EditableText, "License agreement"},
                                  {"Label4_0", QAccessible::StaticText, "Clean files if they are more than "},
                                  {"txtTimeLimit", QAccessible::EditableText, "Clean files if they are more than"},
                                  {"Label4_1", QAccessible::StaticText, "days old."},
                                  {"chkDelUCFolders", QAccessible::CheckBox,
                                   "Delete Uncompressed folders when compressed file present."},
                                  {"Label1_0", QAccessible::StaticText,
                                   "When Cleaning the desktop, how do you want to handle old files?"},
                                  {"optCopyorMove_0", QAccessible::RadioButton,
                                   "Copy the file to the new location, then delete the desktop copy."},
                                  {"optCopyorMove_1", QAccessible::RadioButton, "Move the file to a new location."},
                                  {"optCopyorMove_2", QAccessible::RadioButton, "Delete the file"},
                                  {"optCopyorMove_3", QAccessible::RadioButton, "Send the file to the Trash."},
                                  {"Label1_1", QAccessible::StaticText,
                                   "Where do I store the files moved from the desktop?"},
                                  {"lblTrashPath", QAccessible::StaticText, "/srv/offload"},
                                  {"cmdBrowse", QAccessible::Button, "Choose Directory"},
                                  {"chkDelNullFiles", QAccessible::CheckBox, "Delete Null Files"},
                                  {"lblSchedule", QAccessible::StaticText, "Clean my Desktop automatically:"},
                                  {"optSchedule_0", QAccessible::RadioButton, "Never"},
                                  {"optSchedule_1", QAccessible::RadioButton, "At login"},
                                  {"optSchedule_2", QAccessible::RadioButton, "Every day"},
                                  {"optSchedule_3", QAccessible::RadioButton, "Every week"},
                                  {"lstKeep", QAccessible::List, "Patterns of files and folders to keep"},
                                  {"txtKeepPattern", QAccessible::EditableText, "New pattern"},
                                  {"cmdKeepAdd", QAccessible::Button, "Add"},
                                  {"cmdKeepRemove", QAccessible::Button, "Remove"},
                                  {"cmdOK", QAccessible::Button, "OK"},
                                  {"cmdCancel", QAccessible::Button, "Cancel"},
                                  {"cmdApply", QAccessible::Button, "Apply"},
                              });
        QCOMPARE(Accessible(&dialog)->text(QAccessible::Name), QString("Options"));
        QAccessibleInterface* tabs = Accessible(Get<QTabWidget>(dialog, "tbsOptions")->tabBar());
        QCOMPARE(tabs->role(), QAccessible::PageTabList);
        QVERIFY(tabs->childCount() >= 2);  // the tabs, then the bar's scroll buttons
        QCOMPARE(tabs->child(0)->role(), QAccessible::PageTab);
        QCOMPARE(tabs->child(0)->text(QAccessible::Name), QString("General"));
        QCOMPARE(tabs->child(1)->text(QAccessible::Name), QString("File Operations"));
        QCOMPARE(tabs->child(2)->text(QAccessible::Name), QString("Schedule"));
        QCOMPARE(tabs->child(3)->text(QAccessible::Name), QString("Keep"));
    }

    void the_time_limit_box_is_labelled_by_its_label()
    {
        tidyfold::ui::frmOptions dialog;
        auto* box = Get<QLineEdit>(dialog, "txtTimeLimit");
        QAccessibleInterface* iface = Accessible(box);
        QCOMPARE(iface->text(QAccessible::Value), QString("7"));
        QCOMPARE(iface->text(QAccessible::Description), QString("days old."));
        bool labelled = false;
        for (const auto& [other, relation] : iface->relations(QAccessible::Label))
            labelled = labelled || (other->object() == Get<QLabel>(dialog, "Label4_0") && relation == QAccessible::Label);
        QVERIFY(labelled);
    }

    void the_license_text_is_readable_and_read_only()
    {
        tidyfold::test::WriteFile(sandbox->AppFolder() + "/license.rtf",
                                  "{\\rtf1\\ansi {\\b Tidyfold Licence}\\par Use it as is.\\par}");
        tidyfold::ui::frmOptions dialog;
        QAccessibleInterface* iface = Accessible(Get<QTextEdit>(dialog, "rtfLicense"));
        QVERIFY(iface->state().readOnly);
        QVERIFY(iface->state().focusable);
        QAccessibleTextInterface* text = iface->textInterface();
        QVERIFY(text != nullptr);
        const QString content = text->text(0, text->characterCount());
        QVERIFY2(content.contains("Tidyfold Licence") && content.contains("Use it as is."), qPrintable(content));
        QCOMPARE(iface->text(QAccessible::Description),
                 QString("Please make sure you have read the license agreeement!"));
    }

    void the_status_line_is_read_as_its_text_at_every_step_of_a_pass()
    {
        sandbox->WriteSettings(tidyfold::test::WindowOptions(*sandbox, TransferMode::CopyThenDelete));
        tidyfold::test::WriteFile(sandbox->Desktop() + "/a.txt", "alpha");
        tidyfold::test::WriteFile(sandbox->Desktop() + "/sub/b.txt", "beta");
        tidyfold::ui::frmMain window;
        window.SetClock(MinuteAhead());  // both files old by a limit of 0 days
        window.show();
        auto* status = Get<ElidedLabel>(window, "lblPath");
        QSignalSpy told(status, &ElidedLabel::accessibleNameChanged);
        QStringList heard;
        QStringList wrong;
        tidyfold::SetYieldHook([&] {
            const QString name = AccessibleName(status);
            if (name != status->text())
                wrong << "name \"" + name + "\" for the text \"" + status->text() + "\"";
            if (heard.isEmpty() || heard.last() != name)
                heard << name;
        });
        Get<QPushButton>(window, "cmdClean")->click();
        tidyfold::SetYieldHook({});

        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("\n")));
        QVERIFY2(heard.filter("Scanning: " + QString::fromStdString(sandbox->Desktop())).size() >= 1,
                 qPrintable(heard.join("\n")));
        QVERIFY2(heard.filter("Moving: ").size() >= 2, qPrintable(heard.join("\n")));
        QCOMPARE(AccessibleName(status), QString("Scan Complete."));
        // Screen readers are told, after the pass too.
        const int toldDuringPass = static_cast<int>(told.count());
        QTRY_COMPARE(told.count(), toldDuringPass + 1);

        // The log of the pass, in a window of its own, is as readable.
        window.findChild<QAction*>("mnuFileShowLog")->trigger();
        auto* log = Get<QDialog>(window, "frmLog");
        QVERIFY(!Get<QPlainTextEdit>(*log, "txtLog")->toPlainText().isEmpty());
        const QStringList problems = tidyfold::test::AccessibilityProblems(*log);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
    }

    void a_stream_of_changes_is_announced_once_with_the_last_text()
    {
        ElidedLabel label(QStringLiteral("Idle."));
        QSignalSpy told(&label, &ElidedLabel::accessibleNameChanged);
        for (int i = 0; i < 1000; ++i)
            label.setPath(QStringLiteral("Scanning: "), "/home/someone/Desktop/file" + std::to_string(i));
        QCOMPARE(AccessibleName(&label), QString("Scanning: /home/someone/Desktop/file999"));
        QTRY_COMPARE(told.count(), 1);
        QTest::qWait(250);
        QCOMPARE(told.count(), 1);
        label.setText(QStringLiteral("Scan Complete."));
        QTRY_COMPARE(told.count(), 2);
        QCOMPARE(AccessibleName(&label), QString("Scan Complete."));
    }
};

QTEST_MAIN(TestAccessibility)
#include "TestAccessibility.moc"
