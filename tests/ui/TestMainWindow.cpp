// The main window driven through its real widgets, on a throw-away Desktop.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "GuiTestSupport.h"
#include "tests/support/TestArchive.h"
#include "engine/Yield.h"
#include "engine/CopyProgress.h"
#include "history/History.h"
#include "ui/ElidedLabel.h"
#include "ui/frmHistory.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"

using tidyfold::test::Exists;
using tidyfold::test::Get;
using tidyfold::test::MinuteAhead;
using tidyfold::test::ReadFile;
using tidyfold::test::ScriptedBoxes;
using tidyfold::test::WindowOptions;
using tidyfold::test::WriteFile;
using tidyfold::TransferMode;
using tidyfold::ui::ElidedLabel;
using tidyfold::ui::frmMain;

class TestMainWindow : public QObject, private tidyfold::test::WindowFixture {
    Q_OBJECT

private:


    static QPushButton* Button(frmMain& window, const char* name) { return Get<QPushButton>(window, name); }

    static QString StatusLine(frmMain& window) { return Get<ElidedLabel>(window, "lblPath")->text(); }

    // Settings with a time limit of 0 days: every file last used before the
    // pass's "now" is old.
    void WriteSettings(TransferMode mode, std::int16_t delUCFolders = 0)
    {
        sandbox->WriteSettings(WindowOptions(*sandbox, mode, delUCFolders));
    }

    // Files on the Desktop that are old by a time limit of 0 days once the
    // window's clock is a minute ahead (MinuteAhead).
    void MakeOldDesktop()
    {
        WriteFile(sandbox->Desktop() + "/a.txt", "alpha");
        WriteFile(sandbox->Desktop() + "/sub/b.txt", "beta");
        tidyfold::test::MakeDirs(sandbox->Desktop() + "/sub/empty");
        WriteFile(sandbox->Desktop() + "/pack/inner.txt", "unpacked");
        tidyfold::test::WriteArchive(sandbox->Desktop() + "/pack.zip", tidyfold::test::ArchiveFormat::Zip,
                                     {{"inner.txt", "unpacked"}});
    }

    static void ShowWindow(frmMain& window)
    {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() { Start(); }
    void cleanup() { Stop(); }

    void first_show_captions_and_idle_state()
    {
        frmMain window;
        ShowWindow(window);
        QCOMPARE(window.windowTitle(), QString("Tidyfold - Beta"));
        QVERIFY(!window.windowIcon().isNull());
        QCOMPARE(window.minimumSize(), window.maximumSize());  // fixed size
        auto* banner = Get<QLabel>(window, "Picture1");
        QCOMPARE(banner->pixmap().size(), QSize(300, 169));
        QCOMPARE(Get<QLabel>(window, "Label2")->text(), QString("Tidyfold"));
        QCOMPARE(Get<QLabel>(window, "Label2")->parent(), banner);
        QCOMPARE(Get<QLabel>(window, "lblVersion")->text(), QString("v%1.%2.%3")
                                                                .arg(TIDYFOLD_VERSION_MAJOR)
                                                                .arg(TIDYFOLD_VERSION_MINOR)
                                                                .arg(TIDYFOLD_VERSION_PATCH));
        QCOMPARE(Get<QLabel>(window, "lblProgress")->text(), QString("Current File Progress"));
        QCOMPARE(Get<QLabel>(window, "lblTotal")->text(), QString("Total Progress"));
        for (const char* hidden : {"lblProgress", "pbFile", "lblTotal", "pbBar"})
            QVERIFY2(!Get<QWidget>(window, hidden)->isVisible(), hidden);
        QCOMPARE(Button(window, "cmdClean")->text(), QString("Clean Desktop"));
        QCOMPARE(Button(window, "cmdClearUC")->text(), QString("Clean Uncompressed Folders"));
        QCOMPARE(Button(window, "cmdDelEmptyFolders")->text(), QString("Remove Empty Folders"));
        QCOMPARE(Button(window, "cmdStop")->text(), QString("Stop"));
        QVERIFY(Button(window, "cmdStop")->width() < Button(window, "cmdClean")->width());
        for (const char* button : {"cmdClean", "cmdClearUC", "cmdDelEmptyFolders", "cmdStop"})
            QVERIFY2(Button(window, button)->isEnabled(), button);
        QCOMPARE(StatusLine(window), QString("Idle."));

        QCOMPARE(Get<QMenu>(window, "mnuFile")->title(), QString("&File"));
        auto* options = window.findChild<QAction*>("mnuFileOptions");
        auto* exit = window.findChild<QAction*>("mnuFileExit");
        QVERIFY(options && exit && window.findChild<QAction*>("dash0")->isSeparator());
        QCOMPARE(options->text(), QString("Options"));
        QCOMPARE(options->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(exit->text(), QString("E&xit"));
        QCOMPARE(exit->shortcut(), QKeySequence("Ctrl+X"));
        QCOMPARE(window.findChild<QAction*>("mnuFileShowLog")->text(), QString("Show Log"));
    }

    void the_line_says_what_clean_desktop_will_do_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("options");  // 1: unpacked folders, 2: empty files
        QTest::addColumn<QString>("said");
        const QString rest = " The folders left empty go too.";
        QTest::newRow("copy") << 0 << 0
                              << "Files in ~/Desktop unused for more than 7 days are copied to ~/Trash, then deleted "
                                 "from the Desktop." + rest;
        QTest::newRow("move") << 1 << 0 << "Files in ~/Desktop unused for more than 7 days are moved to ~/Trash." + rest;
        QTest::newRow("delete") << 2 << 3
                                << QString("Files in ~/Desktop unused for more than 7 days are deleted. Folders unpacked "
                                           "beside their archives, old empty files and the folders left empty go too.");
        QTest::newRow("trash") << 3 << 2
                               << QString("Files in ~/Desktop unused for more than 7 days are sent to the Trash. Old "
                                          "empty files and the folders left empty go too.");
        QTest::newRow("unknown") << 9 << 1
                                 << QString("Files in ~/Desktop stay where they are: the settings name no mode "
                                            "Tidyfold knows. Folders unpacked beside their archives and the folders "
                                            "left empty go too.");
    }

    void the_line_says_what_clean_desktop_will_do()
    {
        QFETCH(int, mode);
        QFETCH(int, options);
        QFETCH(QString, said);
        tidyfold::cOptions settings = sandbox->Options(static_cast<TransferMode>(mode));
        settings.OffloadPath(sandbox->DefaultTrash());
        settings.DelUCFolders(options & 1 ? 1 : 0);
        settings.DelNullFiles(options & 2 ? 1 : 0);
        sandbox->WriteSettings(settings);
        frmMain window;
        ShowWindow(window);
        auto* line = Get<QLabel>(window, "lblWhatItDoes");
        QCOMPARE(line->toolTip(), said);
        QCOMPARE(line->text(), said);  // all of it fits
        QCOMPARE(Get<QLabel>(window, "lblLastPass")->text(), QString("No pass has run yet."));
        QVERIFY(Get<QLabel>(window, "lblPreviewHint")->text().contains("File > Preview Clean..."));
        // Not a file made by looking: the history comes with the first pass.
        QVERIFY(!Exists(sandbox->Home() + "/.local/state/tidyfold"));
    }

    void the_line_follows_the_saved_settings_and_the_last_pass()
    {
        WriteSettings(TransferMode::Move);
        WriteFile(sandbox->Desktop() + "/a.txt", "alpha");
        frmMain window;
        window.SetClock(MinuteAhead());
        ShowWindow(window);
        auto* line = Get<QLabel>(window, "lblWhatItDoes");
        QVERIFY2(line->text().contains("are moved to"), qPrintable(line->text()));
        // Saved in Options, said as soon as the dialog closes.
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<tidyfold::ui::frmOptions*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            Get<QTabWidget>(*dialog, "tbsOptions")->setCurrentIndex(1);
            Get<QRadioButton>(*dialog, "optCopyorMove_3")->click();
            Get<QPushButton>(*dialog, "cmdApply")->click();
            Get<QPushButton>(*dialog, "cmdCancel")->click();
        });
        window.findChild<QAction*>("mnuFileOptions")->trigger();
        QVERIFY2(line->text().contains("are sent to the Trash"), qPrintable(line->text()));

        Button(window, "cmdClean")->click();
        const QString last = Get<QLabel>(window, "lblLastPass")->text();
        QVERIFY2(last.startsWith("Last pass: Clean Desktop (send to the Trash), pass 1, "), qPrintable(last));
        QVERIFY2(last.endsWith(": 1 done. Completed"), qPrintable(last));
        // History is a click away.
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<tidyfold::ui::frmHistory*>(QApplication::activeModalWidget());
            opened = dialog != nullptr;
            if (dialog != nullptr)
                dialog->accept();
        });
        Button(window, "cmdOpenHistory")->click();
        QVERIFY(opened);
    }

    void help_about_tells_the_version_the_licence_and_where_the_files_are()
    {
        WriteFile(sandbox->AppFolder() + "/license.rtf", "{\\rtf1 The \\b licence\\b0  text.}");
        frmMain window;
        QCOMPARE(Get<QMenu>(window, "mnuHelp")->title(), QString("&Help"));
        QString files, version;
        bool licence = false;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr || dialog->objectName() != "frmAbout")
                return;
            files = Get<QLabel>(*dialog, "lblAboutFiles")->text();
            version = Get<QLabel>(*dialog, "lblAboutVersion")->text();
            licence = Get<QTextEdit>(*dialog, "rtfAboutLicense")->toPlainText().contains("licence text");
            const QStringList problems = tidyfold::test::AccessibilityProblems(*dialog);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
            Get<QPushButton>(*dialog, "cmdAboutClose")->click();
        });
        window.findChild<QAction*>("mnuHelpAbout")->trigger();
        QVERIFY2(version.contains(Get<QLabel>(window, "lblVersion")->text()), qPrintable(version));
        QVERIFY(licence);
        for (const std::string& path : {sandbox->AppFolder() + "/settings.ini", sandbox->AppFolder() + "/compressed.lst",
                                        sandbox->Home() + "/.local/state/tidyfold/history.sqlite"})
            QVERIFY2(files.contains(QString::fromStdString(path)), qPrintable(files));
    }

    void copy_progress_rounds_half_to_even_and_ignores_empty_files()
    {
        frmMain window;
        auto* bar = Get<QProgressBar>(window, "pbFile");
        QCOMPARE(tidyfold::CurrentEngine(), window.Cleaner());
        window.Cleaner()->UpdateCopyStatusProgressBar(200, 3);
        QCOMPARE(bar->value(), 2);  // 1.5 -> 2
        window.Cleaner()->UpdateCopyStatusProgressBar(200, 1);
        QCOMPARE(bar->value(), 0);  // 0.5 -> 0
        window.Cleaner()->UpdateCopyStatusProgressBar(200, 5);
        QCOMPARE(bar->value(), 2);  // 2.5 -> 2
        window.Cleaner()->UpdateCopyStatusProgressBar(200, 7);
        QCOMPARE(bar->value(), 4);  // 3.5 -> 4
        window.Cleaner()->UpdateCopyStatusProgressBar(0, 5);
        QCOMPARE(bar->value(), 4);  // nothing to divide by: unchanged
        // The system's progress routine reaches the window's current engine.
        tidyfold::CopyProgressCallback(3, 2, 0, 0, 0, 0, 0, 0, nullptr);
        QCOMPARE(bar->value(), 67);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
    }

    void clean_desktop_offloads_old_files_and_reports()
    {
        WriteSettings(TransferMode::CopyThenDelete, /*delUCFolders=*/1);
        MakeOldDesktop();
        frmMain window;
        window.SetClock(MinuteAhead());
        ShowWindow(window);
        bool operationButtonsDisabled = false;
        bool stopEnabled = false;
        QString statusDuringBox;
        boxes->whileShown = [&](const ScriptedBoxes::Shown&) {
            operationButtonsDisabled = !Button(window, "cmdClean")->isEnabled() &&
                                       !Button(window, "cmdClearUC")->isEnabled() &&
                                       !Button(window, "cmdDelEmptyFolders")->isEnabled();
            stopEnabled = Button(window, "cmdStop")->isEnabled();
            statusDuringBox = StatusLine(window);
        };
        QTest::mouseClick(Button(window, "cmdClean"), Qt::LeftButton);

        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text, QString("Desktop Cleaning Complete!\r\n1 uncompressed folders removed\r\n"
                                               "3 files processed.\r\nOffload folder: ") +
                                           QString::fromStdString(sandbox->Offload()) + "\r\n2 empty folders removed.");
        QCOMPARE(boxes->shown[0].title, QString("Done!"));
        QCOMPARE(boxes->shown[0].icon, QMessageBox::Information);
        QVERIFY(operationButtonsDisabled);
        QVERIFY(stopEnabled);
        QVERIFY2(statusDuringBox.startsWith("Moving: " + QString::fromStdString(sandbox->Desktop())),
                 qPrintable(statusDuringBox));

        QCOMPARE(StatusLine(window), QString("Scan Complete."));
        QVERIFY(Button(window, "cmdClean")->isEnabled());
        for (const char* shown : {"lblProgress", "pbFile", "lblTotal", "pbBar"})
            QVERIFY2(Get<QWidget>(window, shown)->isVisible(), shown);
        QCOMPARE(Get<QProgressBar>(window, "pbBar")->maximum(), 3);
        QCOMPARE(Get<QProgressBar>(window, "pbBar")->value(), 3);
        QCOMPARE(Get<QProgressBar>(window, "pbFile")->value(), 100);

        QCOMPARE(ReadFile(sandbox->Offload() + "/a.txt"), std::string("alpha"));
        QCOMPARE(ReadFile(sandbox->Offload() + "/sub/b.txt"), std::string("beta"));
        QVERIFY(Exists(sandbox->Offload() + "/pack.zip"));
        for (const char* gone : {"/a.txt", "/pack.zip", "/pack", "/sub"})
            QVERIFY2(!Exists(sandbox->Desktop() + gone), gone);
    }

    void nothing_old_gives_two_lines_and_keeps_the_progress_area_hidden()
    {
        tidyfold::cOptions options = sandbox->Options();  // a limit of 7 days
        options.DelUCFolders(2);
        sandbox->WriteSettings(options);
        WriteFile(sandbox->Desktop() + "/new.txt", "fresh");
        frmMain window;
        ShowWindow(window);
        Button(window, "cmdClean")->click();
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text, QString("Desktop Cleaning Complete!\r\n0 files processed."));
        QVERIFY(!Get<QWidget>(window, "pbBar")->isVisible());
        QVERIFY(Exists(sandbox->Desktop() + "/new.txt"));
    }

    void stop_during_a_pass_leaves_the_files()
    {
        WriteSettings(TransferMode::CopyThenDelete);
        MakeOldDesktop();
        frmMain window;
        window.SetClock(MinuteAhead());
        ShowWindow(window);
        int yields = 0;
        tidyfold::SetYieldHook([&] {
            if (++yields == 1)
                QTest::mouseClick(Button(window, "cmdStop"), Qt::LeftButton);
        });
        Button(window, "cmdClean")->click();
        QVERIFY(yields >= 1);
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text, QString("Stopped: 0 of 2 files processed."));
        QCOMPARE(StatusLine(window), QString("Stopped."));
        for (const char* kept : {"/a.txt", "/sub/b.txt", "/pack.zip", "/pack/inner.txt"})
            QVERIFY2(Exists(sandbox->Desktop() + kept), kept);
        QVERIFY(!Exists(sandbox->Offload() + "/a.txt"));
    }

    // Modes that move or delete without a copy's progress reports yield
    // once per file too, so Stop is seen before the next file.
    void stop_ends_a_20000_file_pass_before_its_next_file_data()
    {
        QTest::addColumn<TransferMode>("mode");
        QTest::newRow("move") << TransferMode::Move;
        QTest::newRow("delete") << TransferMode::Delete;
    }

    void stop_ends_a_20000_file_pass_before_its_next_file()
    {
        QFETCH(TransferMode, mode);
        constexpr int kFiles = 20000;
        WriteSettings(mode);
        for (int i = 0; i < kFiles; ++i)
            std::ofstream(sandbox->Desktop() + "/" + std::to_string(i) + ".txt");
        frmMain window;
        window.SetClock(MinuteAhead());
        ShowWindow(window);
        // Delete mode raises no event per file: the Desktop itself tells how
        // far the pass has come.
        int yields = 0;
        int pressedAt = -1;
        tidyfold::SetYieldHook([&] {
            if (pressedAt < 0 && ++yields > kFiles + 300) {
                pressedAt = yields - kFiles;
                QTest::mouseClick(Button(window, "cmdStop"), Qt::LeftButton);
            }
        });
        Button(window, "cmdClean")->click();
        QVERIFY(pressedAt > 0);
        QCOMPARE(boxes->shown.size(), 1);
        const int left = static_cast<int>(std::distance(std::filesystem::directory_iterator(sandbox->Desktop()),
                                                        std::filesystem::directory_iterator()));
        const int processed = kFiles - left;
        // Stop came in the yield before file pressedAt: the files before it
        // went, none after.
        QCOMPARE(processed, pressedAt - 1);
        QVERIFY2(boxes->shown[0].text.startsWith(QString("Stopped: %1 of %2 files processed.").arg(processed).arg(kFiles)),
                 qPrintable(boxes->shown[0].text));
        QCOMPARE(StatusLine(window), QString("Stopped."));
        const tidyfold::history::PassRecord pass = tidyfold::history::History::OpenDefault()->Passes(1).at(0);
        QCOMPARE(pass.ending, tidyfold::history::PassEnding::Stopped);
        QCOMPARE(pass.processed, std::optional<std::int32_t>(processed));
        QCOMPARE(pass.done, static_cast<std::int64_t>(processed));
    }

    void status_line_shows_each_scanned_file_decoded_leniently()
    {
        sandbox->WriteSettings(sandbox->Options());  // a limit of 7 days
        // A name that is not UTF-8 is still a name; it shows with a
        // replacement character.
        std::ofstream(sandbox->Desktop() + "/caf\xE9.txt") << "x";
        frmMain window;
        ShowWindow(window);
        QString seen;
        boxes->whileShown = [&](const ScriptedBoxes::Shown&) { seen = StatusLine(window); };
        Button(window, "cmdClean")->click();
        QCOMPARE(seen, "Scanning: " + QString::fromStdString(sandbox->Desktop()) + QString::fromUtf8("/caf\uFFFD.txt"));
        QCOMPARE(StatusLine(window), QString("Scan Complete."));
    }

    void a_stop_while_idle_does_not_cancel_the_next_pass()
    {
        WriteSettings(TransferMode::Delete);
        MakeOldDesktop();
        frmMain window;
        window.SetClock(MinuteAhead());
        Button(window, "cmdStop")->click();
        Button(window, "cmdClean")->click();
        QCOMPARE(boxes->shown.size(), 1);
        // Without the uncompressed-folder step the unpacked file counts too.
        QCOMPARE(boxes->shown[0].text,
                 QString("Desktop Cleaning Complete!\r\n4 files processed.\r\nFiles were deleted.\r\n"
                         "3 empty folders removed."));
        QCOMPARE(StatusLine(window), QString("Scan Complete."));
        // The log of a delete-mode pass names every file it deleted, and
        // every folder the pass removed.
        window.findChild<QAction*>("mnuFileShowLog")->trigger();
        auto* log = window.findChild<QDialog*>("frmLog");
        QVERIFY(log != nullptr);
        const QString text = log->findChild<QPlainTextEdit*>("txtLog")->toPlainText();
        QCOMPARE(text.count("Deleted " + QString::fromStdString(sandbox->Desktop()) + "/"), 4);
        QCOMPARE(text.count("Removed the empty folder " + QString::fromStdString(sandbox->Desktop()) + "/"), 3);
        log->close();
        QVERIFY(!Exists(sandbox->Desktop() + "/a.txt"));
    }

    void no_second_operation_inside_a_pass()
    {
        WriteSettings(TransferMode::CopyThenDelete);
        MakeOldDesktop();
        frmMain window;
        window.SetClock(MinuteAhead());
        ShowWindow(window);
        tidyfold::cTidyfold* engineOfPass = nullptr;
        int nested = 0;
        tidyfold::SetYieldHook([&] {
            if (engineOfPass != nullptr)
                return;
            engineOfPass = window.Cleaner();
            // Queued clicks, as a person hammering the buttons would make.
            for (const char* name : {"cmdClean", "cmdClearUC", "cmdDelEmptyFolders"}) {
                QTest::mouseClick(Button(window, name), Qt::LeftButton);
                nested += Button(window, name)->isEnabled() ? 1 : 0;
            }
        });
        Button(window, "cmdClean")->click();
        QCOMPARE(nested, 0);
        QCOMPARE(window.Cleaner(), engineOfPass);
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY2(boxes->shown[0].text.contains("\r\n4 files processed.\r\n"), qPrintable(boxes->shown[0].text));
    }

    void exit_during_a_pass_stops_it_and_then_closes()
    {
        WriteSettings(TransferMode::CopyThenDelete);
        MakeOldDesktop();
        frmMain window;
        window.SetClock(MinuteAhead());
        ShowWindow(window);
        bool exited = false;
        tidyfold::SetYieldHook([&] {
            if (!exited) {
                exited = true;
                window.findChild<QAction*>("mnuFileExit")->trigger();
                // Still there until the pass has unwound.
                QVERIFY(window.isVisible());
            }
        });
        Button(window, "cmdClean")->click();
        QVERIFY(exited);
        QVERIFY(!window.isVisible());
        QVERIFY(!window.Busy());
        QVERIFY(boxes->shown.isEmpty());
        QCOMPARE(window.Cleaner()->Cancel(), tidyfold::kTrue);
        QVERIFY(Exists(sandbox->Desktop() + "/a.txt"));
        QVERIFY(Exists(sandbox->Desktop() + "/sub/b.txt"));
    }

    void exit_during_a_copy_abandons_it_and_keeps_the_desktop_file()
    {
        WriteSettings(TransferMode::CopyThenDelete);
        const std::string big(8 << 20, 'b');
        WriteFile(sandbox->Desktop() + "/big.bin", big);
        frmMain window;
        window.SetClock(MinuteAhead());
        ShowWindow(window);
        bool exited = false;
        tidyfold::SetYieldHook([&] {
            // Yields after the file count come from the copy's progress.
            if (!exited && Get<QWidget>(window, "pbBar")->isVisible()) {
                exited = true;
                window.close();
            }
        });
        Button(window, "cmdClean")->click();
        QVERIFY(exited);
        QVERIFY(!window.isVisible());
        QVERIFY(boxes->shown.isEmpty());
        QVERIFY(Exists(sandbox->Desktop() + "/big.bin"));
        QCOMPARE(ReadFile(sandbox->Desktop() + "/big.bin").size(), big.size());
        // Neither a copy nor a temporary file is left in the offload folder.
        QCOMPARE(QDir(QString::fromStdString(sandbox->Offload())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                                            QDir::Hidden | QDir::System),
                 QStringList());
    }

    void failed_transfers_are_reported_and_the_log_can_be_read()
    {
        WriteSettings(TransferMode::Move);
        WriteFile(sandbox->Desktop() + "/sub/a.txt", "new");
        // A link where the file's folder would be made is never followed.
        tidyfold::test::MakeDirs(sandbox->Offload());
        QCOMPARE(symlink("/tmp", (sandbox->Offload() + "/sub").c_str()), 0);
        frmMain window;
        window.SetClock(MinuteAhead());
        ShowWindow(window);

        window.findChild<QAction*>("mnuFileShowLog")->trigger();
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text, QString("The log of the last pass is empty."));

        Button(window, "cmdClean")->click();
        QCOMPARE(boxes->shown.size(), 2);
        QCOMPARE(boxes->shown[1].text, QString("Desktop Cleaning Complete!\r\n1 files processed.\r\nOffload folder: ") +
                                           QString::fromStdString(sandbox->Offload()) +
                                           "\r\n1 file could not be copied or moved; see File > Show Log.");
        QCOMPARE(ReadFile(sandbox->Desktop() + "/sub/a.txt"), std::string("new"));

        window.findChild<QAction*>("mnuFileShowLog")->trigger();
        auto* log = window.findChild<QDialog*>("frmLog");
        QVERIFY(log != nullptr && log->isVisible());
        const QString text = log->findChild<QPlainTextEdit*>("txtLog")->toPlainText();
        QVERIFY2(text.startsWith("Could not move " + QString::fromStdString(sandbox->Desktop()) +
                                 "/sub/a.txt: A folder on its way into the offload folder is a link"),
                 qPrintable(text));
        QVERIFY(log->findChild<QPlainTextEdit*>("txtLog")->isReadOnly());
    }

    void errors_are_shown_and_the_window_stays_usable_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("removeDesktop");
        QTest::addColumn<std::string>("settings");
        QTest::addColumn<QString>("message");
        const std::string good = "[TYFL]\nTimelimit=0\nCopyAction=0\nTrashPath=/tmp\nDelUCFolders=1\n";
        const QString missing = "Error 2: No such file or directory";
        QTest::newRow("clean, no Desktop") << "cmdClean" << true << good << missing;
        QTest::newRow("uncompressed, no Desktop") << "cmdClearUC" << true << good << missing;
        QTest::newRow("empty folders, no Desktop") << "cmdDelEmptyFolders" << true << good << missing;
        QTest::newRow("clean, bad settings") << "cmdClean" << false << std::string("[TYFL]\nCopyAction=abc\n")
                                             << "Error 13: Type mismatch";
    }

    void errors_are_shown_and_the_window_stays_usable()
    {
        QFETCH(QString, button);
        QFETCH(bool, removeDesktop);
        QFETCH(std::string, settings);
        QFETCH(QString, message);
        WriteFile(sandbox->SettingsFile(), settings);
        if (removeDesktop)
            QVERIFY(QDir(QString::fromStdString(sandbox->Desktop())).removeRecursively());
        frmMain window;
        ShowWindow(window);
        Button(window, qPrintable(button))->click();
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text.section('\n', 0, 0), message);
        // A missing folder is named, with what Tidyfold was doing with it.
        if (removeDesktop)
            QCOMPARE(boxes->shown[0].text.section('\n', 1),
                     "Cannot open folder " + QString::fromStdString(sandbox->Desktop()));
        QCOMPARE(boxes->shown[0].title, QString("TYFL"));
        QCOMPARE(boxes->shown[0].icon, QMessageBox::Warning);
        QVERIFY(StatusLine(window) != QString("Scan Complete."));
        for (const char* name : {"cmdClean", "cmdClearUC", "cmdDelEmptyFolders", "cmdStop"})
            QVERIFY2(Button(window, name)->isEnabled(), name);
        QVERIFY(!window.Busy());
    }

    void unsafe_settings_stop_clean_desktop_before_unpacked_folders_go_data()
    {
        QTest::addColumn<std::string>("timeLimit");
        QTest::addColumn<std::string>("trash");
        QTest::addColumn<QString>("why");
        QTest::newRow("negative limit") << std::string("-1") << std::string() << "number of days";
        QTest::newRow("relative offload folder") << std::string() << std::string("Trash") << "full path";
        QTest::newRow("home as offload folder") << std::string() << std::string("HOME") << "your home folder";
    }

    void unsafe_settings_stop_clean_desktop_before_unpacked_folders_go()
    {
        QFETCH(std::string, timeLimit);
        QFETCH(std::string, trash);
        QFETCH(QString, why);
        WriteSettings(TransferMode::CopyThenDelete, /*delUCFolders=*/1);
        if (!timeLimit.empty())
            sandbox->SetSetting("Timelimit", timeLimit);
        if (!trash.empty())
            sandbox->SetSetting("TrashPath", trash == "HOME" ? sandbox->Home() : trash);
        WriteFile(sandbox->Desktop() + "/pack/inner.txt", "unpacked");
        tidyfold::test::WriteArchive(sandbox->Desktop() + "/pack.zip", tidyfold::test::ArchiveFormat::Zip,
                                     {{"inner.txt", "unpacked"}});
        frmMain window;
        Button(window, "cmdClean")->click();
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY2(boxes->shown[0].text.contains(why), qPrintable(boxes->shown[0].text));
        QCOMPARE(boxes->shown[0].icon, QMessageBox::Warning);
        QCOMPARE(ReadFile(sandbox->Desktop() + "/pack/inner.txt"), std::string("unpacked"));
        QVERIFY(StatusLine(window) != QString("Scan Complete."));
    }

    void stop_ends_the_check_of_clean_uncompressed_folders()
    {
        WriteSettings(TransferMode::CopyThenDelete);
        // Enough entries that the check yields while it reads.
        std::vector<tidyfold::test::ArchiveItem> items;
        for (int i = 0; i < 600; ++i) {
            items.push_back({"f" + std::to_string(i), std::to_string(i)});
            WriteFile(sandbox->Desktop() + "/pack/" + items.back().path, items.back().data);
        }
        tidyfold::test::WriteArchive(sandbox->Desktop() + "/pack.zip", tidyfold::test::ArchiveFormat::Tar, items);
        frmMain window;
        int yields = 0;
        tidyfold::SetYieldHook([&] {
            if (++yields == 1)
                QTest::mouseClick(Button(window, "cmdStop"), Qt::LeftButton);
        });
        Button(window, "cmdClearUC")->click();
        tidyfold::SetYieldHook(nullptr);
        QCOMPARE(yields, 1);
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text,
                 QString("Uncompressed folders removed! (0)\r\nStopped before every folder was checked."));
        QVERIFY(Exists(sandbox->Desktop() + "/pack/f599"));
    }

    void clean_uncompressed_folders_ignores_the_option()
    {
        WriteSettings(TransferMode::CopyThenDelete);
        WriteFile(sandbox->Desktop() + "/pack/inner.txt", "x");
        tidyfold::test::WriteArchive(sandbox->Desktop() + "/pack.zip", tidyfold::test::ArchiveFormat::Zip,
                                     {{"inner.txt", "x"}});
        WriteFile(sandbox->Desktop() + "/other/keep.txt", "y");
        frmMain window;
        Button(window, "cmdClearUC")->click();
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text, QString("Uncompressed folders removed! (1)"));
        QCOMPARE(boxes->shown[0].title, QString("TYFL"));
        QCOMPARE(boxes->shown[0].icon, QMessageBox::NoIcon);
        QVERIFY(!Exists(sandbox->Desktop() + "/pack"));
        QVERIFY(Exists(sandbox->Desktop() + "/pack.zip"));
        QVERIFY(Exists(sandbox->Desktop() + "/other/keep.txt"));
        QCOMPARE(StatusLine(window), QString("Idle."));
    }

    void remove_empty_folders()
    {
        tidyfold::test::MakeDirs(sandbox->Desktop() + "/e1/e2");
        WriteFile(sandbox->Desktop() + "/full/x.txt", "x");
        frmMain window;
        Button(window, "cmdDelEmptyFolders")->click();
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text, QString("Emptiy folders cleaned up!\r\n2 empty folders removed."));
        QCOMPARE(boxes->shown[0].title, QString("Done!"));
        QCOMPARE(boxes->shown[0].icon, QMessageBox::Information);
        QVERIFY(!Exists(sandbox->Desktop() + "/e1"));
        QVERIFY(Exists(sandbox->Desktop() + "/full/x.txt"));
        QCOMPARE(StatusLine(window), QString("Idle."));
    }

    void options_open_modally_from_the_menu_and_ctrl_o()
    {
        frmMain window;
        ShowWindow(window);
        QStringList opened;
        auto closeTheDialog = [&] {
            QWidget* modal = QApplication::activeModalWidget();
            opened << (modal ? modal->objectName() : QString("none"));
            if (modal)
                modal->close();
        };
        QTimer::singleShot(0, this, closeTheDialog);
        window.findChild<QAction*>("mnuFileOptions")->trigger();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTimer::singleShot(0, this, closeTheDialog);
        QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(opened, QStringList({"frmOptions", "frmOptions"}));
        QVERIFY(boxes->shown.isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
