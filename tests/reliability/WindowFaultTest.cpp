// The main window when the file layer fails in the middle of an operation:
// the error is shown in the program's own box, the window stays usable, and
// pressing the button again finishes the work. (A failed save, an unreadable
// agreement, a missing Desktop and a bad settings file are covered with the
// windows' own tests.)

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <memory>

#include "fs/Fault.h"
#include "history/History.h"
#include "tests/ui/GuiTestSupport.h"
#include "tests/support/TestArchive.h"
#include "ui/ElidedLabel.h"
#include "ui/frmMain.h"

using tidyfold::fs::fault::Call;
using tidyfold::test::Exists;
using tidyfold::test::MinuteAhead;
using tidyfold::test::ReadFile;
using tidyfold::test::ScriptedBoxes;
using tidyfold::test::WriteFile;
using tidyfold::ui::frmMain;

Q_DECLARE_METATYPE(Call)

class TestWindowFaults : public QObject, private tidyfold::test::WindowFixture {
    Q_OBJECT

private:

    static QPushButton* Button(frmMain& window, const QString& name)
    {
        return tidyfold::test::Get<QPushButton>(window, qPrintable(name));
    }

    // Two files on top, two in a sub-folder, an archive beside its unpacked
    // folder, and a chain of empty folders; all old by a limit of 0 days at
    // the windows' "now" (MinuteAhead).
    void MakeDesktop()
    {
        const std::string d = sandbox->Desktop();
        WriteFile(d + "/a.txt", "alpha");
        WriteFile(d + "/b.txt", "beta");
        WriteFile(d + "/sub/c.txt", "gamma");
        WriteFile(d + "/sub/d.txt", "delta");
        sandbox->WriteArchiveList("zip,");
        tidyfold::test::MakeDirs(sandbox->Offload());
    }

    void MakeArchiveAndEmptyFolders()
    {
        const std::string d = sandbox->Desktop();
        WriteFile(d + "/pack/x.txt", "unpacked");
        WriteFile(d + "/pack/y/z.txt", "unpacked too");
        tidyfold::test::WriteArchive(d + "/pack.zip", tidyfold::test::ArchiveFormat::Zip,
                                     {{"x.txt", "unpacked"}, {"y/z.txt", "unpacked too"}});
        tidyfold::test::MakeDirs(d + "/e1/e2/e3");
        tidyfold::test::MakeDirs(d + "/f");
    }

    void ExpectUsable(frmMain& window)
    {
        for (const char* name : {"cmdClean", "cmdClearUC", "cmdDelEmptyFolders", "cmdStop"})
            QVERIFY2(Button(window, name)->isEnabled(), name);
        QVERIFY(!window.Busy());
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        Start();
        sandbox->WriteSettings(tidyfold::test::WindowOptions(*sandbox, tidyfold::TransferMode::CopyThenDelete));
        // Opened at the program's start, as it is: the faults below are
        // meant for the operations, not for making the history's folder.
        tidyfold::history::History::OpenDefault();
    }

    void cleanup() { Stop(); }

    void error_mid_operation_is_shown_and_a_second_press_finishes_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("done");
        // The first folder made below the offload folder is sub's, after the
        // two top-level files have gone.
        QTest::newRow("clean, making a folder") << "cmdClean" << Call::Mkdir << "Desktop Cleaning Complete!";
        QTest::newRow("uncompressed, deleting inside the folder")
            << "cmdClearUC" << Call::Unlink << "Uncompressed folders removed! (1)";
        QTest::newRow("empty folders, removing one") << "cmdDelEmptyFolders" << Call::Rmdir
                                                     << "Emptiy folders cleaned up!";
    }

    void error_mid_operation_is_shown_and_a_second_press_finishes()
    {
        QFETCH(QString, button);
        QFETCH(Call, call);
        QFETCH(QString, done);
        MakeDesktop();
        MakeArchiveAndEmptyFolders();
        frmMain window;
        window.SetClock(MinuteAhead());
        window.show();

        tidyfold::fs::fault::Reset();
        tidyfold::fs::fault::Inject(call, EIO, 1);
        Button(window, button)->click();
        tidyfold::fs::fault::Reset();
        // What went before the error is told first, then the error.
        const int before = button == "cmdClean" ? 1 : 0;
        QCOMPARE(boxes->shown.size(), before + 1);
        if (before > 0)
            QVERIFY2(boxes->shown[0].text.startsWith("Ended by an error: ") &&
                         boxes->shown[0].text.endsWith(" files processed.\r\nOffload folder: " +
                                                       QString::fromStdString(sandbox->Offload())),
                     qPrintable(boxes->shown[0].text));
        QVERIFY2(boxes->shown[before].text.startsWith("Error 5: Input/output error"),
                 qPrintable(boxes->shown[before].text));
        QCOMPARE(boxes->shown[before].title, QString("TYFL"));
        QCOMPARE(boxes->shown[before].icon, QMessageBox::Warning);
        ExpectUsable(window);
        if (button == "cmdClean") {
            // Stopped between files: what went is complete, the rest untouched.
            QCOMPARE(ReadFile(sandbox->Offload() + "/a.txt"), std::string("alpha"));
            QVERIFY(!Exists(sandbox->Desktop() + "/a.txt"));
            QCOMPARE(ReadFile(sandbox->Desktop() + "/sub/c.txt"), std::string("gamma"));
            QCOMPARE(ReadFile(sandbox->Desktop() + "/sub/d.txt"), std::string("delta"));
        }

        // The first press touched the files (their status changed); "now"
        // is still a minute after the test began, so they remain old.
        Button(window, button)->click();
        QCOMPARE(boxes->shown.size(), before + 2);
        QVERIFY2(boxes->shown.back().text.startsWith(done), qPrintable(boxes->shown.back().text));
        ExpectUsable(window);
        if (button == "cmdClean") {
            for (const char* name : {"a.txt", "b.txt", "sub/c.txt", "sub/d.txt"}) {
                QVERIFY2(Exists(sandbox->Offload() + "/" + name), name);
                QVERIFY2(!Exists(sandbox->Desktop() + "/" + name), name);
            }
        } else if (button == "cmdClearUC") {
            QVERIFY(!Exists(sandbox->Desktop() + "/pack"));
            QVERIFY(Exists(sandbox->Desktop() + "/pack.zip"));
        } else {
            QVERIFY(!Exists(sandbox->Desktop() + "/e1"));
            QVERIFY(!Exists(sandbox->Desktop() + "/f"));
        }
    }

    // The closing removal of empty folders fails: what the pass did is still
    // reported, then the error is shown as well.
    void a_failed_closing_step_shows_the_result_and_then_the_error()
    {
        MakeDesktop();
        tidyfold::test::MakeDirs(sandbox->Desktop() + "/e1");
        frmMain window;
        window.SetClock(MinuteAhead());
        window.show();
        tidyfold::fs::fault::Reset();
        tidyfold::fs::fault::Inject(Call::Rmdir, EIO, 1);
        Button(window, "cmdClean")->click();
        tidyfold::fs::fault::Reset();
        QCOMPARE(boxes->shown.size(), 2);
        QCOMPARE(boxes->shown[0].text, "Ended by an error: 4 of 4 files processed.\r\nOffload folder: " +
                                           QString::fromStdString(sandbox->Offload()));
        QVERIFY2(boxes->shown[1].text.startsWith("Error 5: Input/output error"), qPrintable(boxes->shown[1].text));
        QCOMPARE(boxes->shown[1].icon, QMessageBox::Warning);
        QCOMPARE(window.findChild<tidyfold::ui::ElidedLabel*>("lblPath")->text(), QString("Failed."));
        ExpectUsable(window);
    }

    // A copy that cannot be flushed is a failed copy, not an error: the pass
    // goes on, the result says so, the log names the file, and the file is
    // still on the Desktop for the next pass.
    void failed_flush_is_counted_and_logged_and_the_file_stays()
    {
        MakeDesktop();
        frmMain window;
        window.SetClock(MinuteAhead());
        window.show();
        tidyfold::fs::fault::Reset();
        tidyfold::fs::fault::Inject(Call::Fsync, EIO, 1);
        Button(window, "cmdClean")->click();
        tidyfold::fs::fault::Reset();
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY2(boxes->shown[0].text.endsWith("1 file could not be copied or moved; see File > Show Log."),
                 qPrintable(boxes->shown[0].text));
        ExpectUsable(window);
        int onDesktop = 0;
        for (const char* name : {"a.txt", "b.txt", "sub/c.txt", "sub/d.txt"})
            onDesktop += Exists(sandbox->Desktop() + "/" + name) ? 1 : 0;
        QCOMPARE(onDesktop, 1);

        window.findChild<QAction*>("mnuFileShowLog")->trigger();
        auto* log = window.findChild<QDialog*>("frmLog");
        QVERIFY(log != nullptr);
        QVERIFY(log->findChild<QPlainTextEdit*>("txtLog")->toPlainText().contains("Could not copy "));
        log->close();

        Button(window, "cmdClean")->click();
        QCOMPARE(boxes->shown.size(), 2);
        QVERIFY2(boxes->shown[1].text.startsWith("Desktop Cleaning Complete!\r\n1 files processed."),
                 qPrintable(boxes->shown[1].text));
        QVERIFY(!boxes->shown[1].text.contains("could not"));
        for (const char* name : {"a.txt", "b.txt", "sub/c.txt", "sub/d.txt"})
            QVERIFY2(Exists(sandbox->Offload() + "/" + name), name);
    }
};

QTEST_MAIN(TestWindowFaults)
#include "WindowFaultTest.moc"
