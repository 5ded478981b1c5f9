// The History and Preview windows driven by their widgets: passes newest
// first, the actions of the one selected, Undo Pass, Restore Selected and a
// name taken on the Desktop meanwhile; a row left out of a Preview's clean,
// and what its Last use column and summary say of where last use came from.

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "GuiTestSupport.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "ui/HistoryModels.h"
#include "ui/PreviewModel.h"
#include "ui/frmHistory.h"
#include "ui/frmPreview.h"
#include "ui/frmMain.h"

using tidyfold::test::AccessibilityProblems;
using tidyfold::test::Exists;
using tidyfold::test::Get;
using tidyfold::test::MinuteAhead;
using tidyfold::test::ReadFile;
using tidyfold::test::WriteFile;
namespace history = tidyfold::history;

class TestHistoryWindow : public QObject, tidyfold::test::WindowFixture {
    Q_OBJECT

private:
    std::unique_ptr<history::History> store;

    // A pass that moved the given Desktop files into the offload folder (the
    // test moves them) and deleted the ones marked for deletion.
    std::int64_t RecordedPass(const std::vector<std::string>& moved, const std::vector<std::string>& deleted = {})
    {
        std::vector<tidyfold::JournalEntry> entries;
        auto seen = [&](const std::string& name, tidyfold::JournalAction action) {
            WriteFile(sandbox->Desktop() + "/" + name, "bytes of " + name);
            const std::string path = sandbox->Desktop() + "/" + name;
            const auto entry = tidyfold::fs::OpenFolder::Open(path.substr(0, path.rfind('/')))
                                   .Stat(path.substr(path.rfind('/') + 1));
            tidyfold::JournalEntry journal;
            journal.action = action;
            journal.relative = name;
            journal.destination = action == tidyfold::JournalAction::Delete ? "" : name;
            journal.id = entry->id;
            journal.size = entry->size;
            journal.times = entry->times;
            journal.mode = entry->mode;
            entries.push_back(journal);
        };
        for (const std::string& name : moved)
            seen(name, tidyfold::JournalAction::Move);
        for (const std::string& name : deleted)
            seen(name, tidyfold::JournalAction::Delete);
        for (const std::string& name : moved) {
            tidyfold::test::MakeDirs((sandbox->Offload() + "/" + name).substr(0, (sandbox->Offload() + "/" + name).rfind('/')));
            std::rename((sandbox->Desktop() + "/" + name).c_str(), (sandbox->Offload() + "/" + name).c_str());
        }
        for (const std::string& name : deleted)
            std::remove((sandbox->Desktop() + "/" + name).c_str());
        auto pass = store->Begin({history::PassKind::CleanDesktop, 1, sandbox->Desktop(), sandbox->Offload(), 0});
        tidyfold::JournalQueue queue(pass.get(), entries);
        for (std::size_t i = 0; i < entries.size(); ++i)
            queue.After(queue.Before(i), {tidyfold::JournalOutcome::Done, "", ""});
        pass->End(history::PassEnding::Completed);
        return pass->Id();
    }

    static QString Cell(QTableView* table, int row, int column)
    {
        return table->model()->data(table->model()->index(row, column)).toString();
    }

    static int RowOf(QTableView* table, int column, const QString& text)
    {
        for (int row = 0; row < table->model()->rowCount(); ++row)
            if (Cell(table, row, column) == text)
                return row;
        return -1;
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        Start();
        store = history::History::OpenDefault();
    }

    void cleanup()
    {
        store.reset();
        Stop();
    }

    void lists_passes_newest_first_and_the_actions_of_the_one_selected()
    {
        RecordedPass({"old.txt"});
        const std::int64_t newer = RecordedPass({"a.txt", "sub/b.txt"}, {"gone.txt"});
        tidyfold::ui::frmHistory window(*store);
        window.show();
        QCOMPARE(window.windowTitle(), QString("History"));
        const QStringList problems = AccessibilityProblems(window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
        auto* passes = Get<QTableView>(window, "tblPasses");
        auto* actions = Get<QTableView>(window, "tblActions");
        QCOMPARE(passes->model()->rowCount(), 2);
        QCOMPARE(Cell(passes, 0, tidyfold::ui::PassesModel::What), QString("Clean Desktop (move)"));
        QCOMPARE(Cell(passes, 0, tidyfold::ui::PassesModel::HowMany), QString("3 done"));
        QCOMPARE(Cell(passes, 0, tidyfold::ui::PassesModel::HowItEnded), QString("Completed"));
        QCOMPARE(passes->selectionModel()->selectedRows().first().row(), 0);
        QCOMPARE(actions->model()->rowCount(), 3);
        const int deleted = RowOf(actions, tidyfold::ui::ActionsModel::Name, "gone.txt");
        QVERIFY(deleted >= 0);
        QCOMPARE(Cell(actions, deleted, tidyfold::ui::ActionsModel::Outcome), QString("Done, cannot be undone"));
        QVERIFY(Get<QPushButton>(window, "cmdUndoPass")->isEnabled());
        QVERIFY(!Get<QPushButton>(window, "cmdRestoreSelected")->isEnabled());

        passes->selectRow(1);
        QCOMPARE(actions->model()->rowCount(), 1);
        QCOMPARE(Cell(actions, 0, tidyfold::ui::ActionsModel::Name), QString("old.txt"));
        QVERIFY(newer > 0);
    }

    void undo_pass_puts_everything_back_and_records_itself()
    {
        RecordedPass({"a.txt", "sub/b.txt"});
        tidyfold::ui::frmHistory window(*store);
        window.show();
        QTest::mouseClick(Get<QPushButton>(window, "cmdUndoPass"), Qt::LeftButton);
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text, QString("Put back: 2 files.\r\nRemoved from the offload folder, now empty: 1 folder."));
        QCOMPARE(ReadFile(sandbox->Desktop() + "/sub/b.txt"), std::string("bytes of sub/b.txt"));
        QVERIFY(!Exists(sandbox->Offload() + "/a.txt"));
        QVERIFY(!Exists(sandbox->Offload() + "/sub"));
        QVERIFY(Exists(sandbox->Offload()));
        auto* passes = Get<QTableView>(window, "tblPasses");
        QCOMPARE(passes->model()->rowCount(), 2);
        using tidyfold::ui::PassesModel;
        const QString undo = Cell(passes, 0, PassesModel::Number);
        QCOMPARE(Cell(passes, 0, PassesModel::What), "Undo of pass " + Cell(passes, 1, PassesModel::Number));
        QCOMPARE(Cell(passes, 0, PassesModel::StartedBy), QString("window"));
        QCOMPARE(Cell(passes, 1, PassesModel::StartedBy), QString("not recorded"));
        QCOMPARE(Cell(passes, 1, PassesModel::HowItEnded), "Completed, undone by pass " + undo);
        // The pass that was undone stays selected, with nothing left to undo.
        QCOMPARE(passes->selectionModel()->selectedRows().first().row(), 1);
        QVERIFY(!Get<QPushButton>(window, "cmdUndoPass")->isEnabled());
        auto* actions = Get<QTableView>(window, "tblActions");
        QCOMPARE(Cell(actions, 0, tidyfold::ui::ActionsModel::Outcome), "Done, put back by pass " + undo);
        // The Undo's rows say what they undid; the one under the cursor is
        // told in full below.
        passes->selectRow(0);
        QCOMPARE(Cell(actions, 0, tidyfold::ui::ActionsModel::Action),
                 "Put back: move of pass " + Cell(passes, 1, PassesModel::Number));
        const QString details = Get<QLabel>(window, "lblActionDetails")->text();
        QVERIFY2(details.startsWith("Put back: move of pass") && details.contains("Done"), qPrintable(details));
    }

    void an_empty_history_says_what_will_be_listed()
    {
        tidyfold::ui::frmHistory window(*store);
        window.show();
        auto* empty = Get<QLabel>(window, "lblNoPasses");
        QVERIFY(empty->isVisible());
        QVERIFY(!Get<QTableView>(window, "tblPasses")->isVisible());
        QVERIFY2(empty->text().contains("will be listed here"), qPrintable(empty->text()));
        QVERIFY(!Get<QPushButton>(window, "cmdUndoPass")->isEnabled());
        const QStringList problems = AccessibilityProblems(window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
        RecordedPass({"a.txt"});
        window.Refresh();
        QVERIFY(!empty->isVisible());
    }

    void restore_selected_leaves_a_file_whose_name_is_taken()
    {
        RecordedPass({"a.txt", "b.txt", "c.txt"});
        WriteFile(sandbox->Desktop() + "/b.txt", "a new b");
        tidyfold::ui::frmHistory window(*store);
        window.show();
        auto* actions = Get<QTableView>(window, "tblActions");
        const int a = RowOf(actions, tidyfold::ui::ActionsModel::Name, "a.txt");
        const int b = RowOf(actions, tidyfold::ui::ActionsModel::Name, "b.txt");
        actions->selectionModel()->select(actions->model()->index(a, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        actions->selectionModel()->select(actions->model()->index(b, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(Get<QPushButton>(window, "cmdRestoreSelected")->isEnabled());
        QTest::mouseClick(Get<QPushButton>(window, "cmdRestoreSelected"), Qt::LeftButton);

        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].text,
                 QString("Put back: 1 file.\r\nLeft in the offload folder, since their names are taken on the "
                         "Desktop: 1 file."));
        QCOMPARE(boxes->shown[0].icon, QMessageBox::Warning);
        QCOMPARE(ReadFile(sandbox->Desktop() + "/b.txt"), std::string("a new b"));
        QCOMPARE(ReadFile(sandbox->Offload() + "/b.txt"), std::string("bytes of b.txt"));
        QCOMPARE(ReadFile(sandbox->Desktop() + "/a.txt"), std::string("bytes of a.txt"));
        QVERIFY(Exists(sandbox->Offload() + "/c.txt"));
        // b and c can still go back.
        QVERIFY(Get<QPushButton>(window, "cmdUndoPass")->isEnabled());
    }

    void the_file_menu_opens_it()
    {
        RecordedPass({"a.txt"});
        tidyfold::ui::frmMain window;
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<tidyfold::ui::frmHistory*>(QApplication::activeModalWidget());
            opened = dialog != nullptr && Get<QTableView>(*dialog, "tblPasses")->model()->rowCount() == 1;
            if (dialog != nullptr)
                QTest::mouseClick(Get<QPushButton>(*dialog, "cmdClose"), Qt::LeftButton);
        });
        auto* item = window.findChild<QAction*>("mnuFileHistory");
        QCOMPARE(item->text(), QString("History..."));
        item->trigger();
        QVERIFY(opened);
    }

    void preview_cleans_only_the_rows_left_checked()
    {
        sandbox->WriteSettings(tidyfold::test::WindowOptions(*sandbox, tidyfold::TransferMode::Move));
        WriteFile(sandbox->Desktop() + "/a.txt", "alpha");
        WriteFile(sandbox->Desktop() + "/sub/b.txt", "beta");
        tidyfold::ui::frmMain window;
        window.SetClock(MinuteAhead());
        QStringList problems{"no Preview window opened"};
        int rows = -1;
        QString title;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<tidyfold::ui::frmPreview*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            title = dialog->windowTitle();
            problems = AccessibilityProblems(*dialog);
            auto* table = Get<QTableView>(*dialog, "tblPreview");
            rows = table->model()->rowCount();
            const int b = RowOf(table, tidyfold::ui::PreviewModel::Name, "sub/b.txt");
            table->model()->setData(table->model()->index(b, tidyfold::ui::PreviewModel::Name), Qt::Unchecked,
                                    Qt::CheckStateRole);
            QTest::mouseClick(Get<QPushButton>(*dialog, "cmdCleanSelected"), Qt::LeftButton);
        });
        window.findChild<QAction*>("mnuFilePreview")->trigger();

        QCOMPARE(title, QString("Preview"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
        // The two files, and "sub" as the folder they would leave empty.
        QCOMPARE(rows, 3);
        QCOMPARE(ReadFile(sandbox->Offload() + "/a.txt"), std::string("alpha"));
        QVERIFY(!Exists(sandbox->Desktop() + "/a.txt"));
        QCOMPARE(ReadFile(sandbox->Desktop() + "/sub/b.txt"), std::string("beta"));
        QVERIFY(!Exists(sandbox->Offload() + "/sub/b.txt"));
        QCOMPARE(boxes->shown.size(), 1);
    }

    void preview_summary_and_rows_follow_the_check_boxes_in_any_order()
    {
        tidyfold::CleanPlan plan;
        plan.desktop = sandbox->Desktop();
        plan.mode = tidyfold::TransferMode::Delete;
        auto entry = [](tidyfold::JournalAction action, const char* relative, std::uint64_t size) {
            tidyfold::PlanEntry e;
            e.action = action;
            e.relative = relative;
            e.seen.size = size;
            e.seen.kind = action == tidyfold::JournalAction::Delete ? tidyfold::fs::EntryKind::File
                                                                    : tidyfold::fs::EntryKind::Folder;
            return e;
        };
        using tidyfold::JournalAction;
        plan.entries = {entry(JournalAction::RemoveUnpackedFolder, "Photos", 0),
                        entry(JournalAction::Delete, "sub/a.txt", 30),
                        entry(JournalAction::Delete, "sub/b.txt", 10),
                        entry(JournalAction::Delete, "Photos.zip", 20),
                        entry(JournalAction::RemoveEmptyFolder, "sub", 0)};
        plan.entries[0].archive = "Photos.zip";
        tidyfold::ui::frmPreview preview(plan);
        auto* table = Get<QTableView>(preview, "tblPreview");
        auto* summary = Get<QLabel>(preview, "lblSummary");
        using tidyfold::ui::PreviewModel;
        const auto action = [&](const char* name) {
            return Cell(table, RowOf(table, PreviewModel::Name, name), PreviewModel::Action);
        };
        const auto uncheck = [&](int row) {
            table->model()->setData(table->model()->index(row, PreviewModel::Name), Qt::Unchecked, Qt::CheckStateRole);
        };
        QVERIFY2(summary->text().startsWith("Clean Selected would do this now (3 files to delete, 1 unpacked folder "
                                            "to remove, 1 empty folder to remove)."),
                 qPrintable(summary->text()));
        QCOMPARE(action("Photos"), QString("remove unpacked folder; its archive is deleted too"));
        QCOMPARE(action("sub"), QString("remove empty folder"));

        // Sorted by size, largest first: the view's rows are not the plan's.
        table->horizontalHeader()->setSortIndicator(PreviewModel::Size, Qt::DescendingOrder);
        QCOMPARE(Cell(table, 0, PreviewModel::Name), QString("sub/a.txt"));
        QCOMPARE(Cell(table, 4, PreviewModel::Name), QString("Photos"));  // folders have no size
        uncheck(2);  // sub/b.txt, the smallest file
        QCOMPARE(action("sub"), QString("stays: it holds what is left unchecked"));
        QVERIFY2(summary->text().startsWith("Clean Selected would do this now (2 files to delete, 1 unpacked folder "
                                            "to remove). 1 row is left unchecked."),
                 qPrintable(summary->text()));
        uncheck(RowOf(table, PreviewModel::Name, "Photos.zip"));
        QCOMPARE(action("Photos"), QString("remove unpacked folder"));
        QCOMPARE(preview.Chosen(), (std::vector<bool>{true, true, false, false, true}));

        Get<QPushButton>(preview, "cmdUncheckAll")->click();
        QCOMPARE(summary->text(), QString("Clean Selected would change nothing: every row is left unchecked."));
        // Long names keep both ends; the action words fit their column.
        QCOMPARE(table->textElideMode(), Qt::ElideMiddle);
        QVERIFY(table->columnWidth(PreviewModel::Action) >
                table->fontMetrics().horizontalAdvance("remove unpacked folder"));
    }

    void preview_says_which_time_gave_each_last_use_and_when_the_drive_keeps_no_access_times()
    {
        tidyfold::CleanPlan plan;
        plan.desktop = sandbox->Desktop();
        plan.noAccessTimes = true;
        tidyfold::PlanEntry opened;
        opened.relative = "report.pdf";
        opened.seen.kind = tidyfold::fs::EntryKind::File;
        opened.lastUse = {1'700'000'000'000'000'000, tidyfold::ageing::LastUseFrom::Opened, "Document Viewer"};
        tidyfold::PlanEntry read = opened;
        read.relative = "notes.txt";
        read.lastUse = {1'700'000'000'000'000'000, tidyfold::ageing::LastUseFrom::Read, {}};
        plan.entries = {opened, read};
        tidyfold::ui::frmPreview preview(plan);
        auto* table = Get<QTableView>(preview, "tblPreview");
        const auto lastUse = [&](int row, int role) {
            const QModelIndex cell = table->model()->index(row, tidyfold::ui::PreviewModel::LastUse);
            return table->model()->data(cell, role).toString();
        };
        QVERIFY2(lastUse(0, Qt::DisplayRole).endsWith("(opened in Document Viewer)"),
                 qPrintable(lastUse(0, Qt::DisplayRole)));
        QVERIFY(lastUse(0, Qt::ToolTipRole).contains("the desktop's record of opened files"));
        QVERIFY2(lastUse(1, Qt::DisplayRole).endsWith("(read)"), qPrintable(lastUse(1, Qt::DisplayRole)));
        QVERIFY(lastUse(1, Qt::ToolTipRole).contains("access time"));
        QVERIFY(Get<QLabel>(preview, "lblSummary")->text().endsWith(
            "This drive does not record when files are read; last use comes from changes and from the desktop's "
            "record of opened files."));
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "TestHistoryWindow.moc"
