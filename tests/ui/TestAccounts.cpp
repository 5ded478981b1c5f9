// One account of a pass, whichever front end runs it: for each kind of pass
// the runner's report, the window's result box, the command line's lines and
// exit status, and the History's rows tell the same story.

#include <QPushButton>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <functional>

#include "GuiTestSupport.h"
#include "engine/cTidyfold.h"
#include "history/History.h"
#include "history/PassRunner.h"
#include "tests/app/ProgramRun.h"
#include "tests/support/TestArchive.h"
#include "ui/HistoryModels.h"
#include "ui/ReportText.h"
#include "ui/Text.h"
#include "ui/frmMain.h"

using tidyfold::Operation;
using tidyfold::TransferMode;
using tidyfold::test::Sandbox;
using tidyfold::test::WriteFile;

namespace {

struct Scenario {
    const char* name;
    const char* button;  // in the window
    const char* flag;    // on the command line
    Operation operation;
    TransferMode mode;
    std::int16_t delUCFolders;
    std::function<void(const Sandbox&)> make;  // the Desktop, and what else the case needs
    QString firstLine;  // what the account says first
    int status;         // the command line's exit status
    QString history;    // what the History calls the pass; empty: none recorded
};

void Photos(const Sandbox& s)
{
    tidyfold::test::WriteArchive(s.Desktop() + "/Photos.zip", tidyfold::test::ArchiveFormat::Zip,
                                 {{"Photos/p.jpg", "jpeg"}});
    WriteFile(s.Desktop() + "/Photos/p.jpg", "jpeg");
}

std::vector<Scenario> Scenarios()
{
    return {
        {"move, unpacked folders and an empty folder", "cmdClean", "--clean", Operation::CleanDesktop,
         TransferMode::Move, 1,
         [](const Sandbox& s) {
             WriteFile(s.Desktop() + "/a.txt", "a");
             WriteFile(s.Desktop() + "/sub/b.txt", "b");
             Photos(s);
             // Its archive lacks extra.txt: the folder stays, its files go.
             tidyfold::test::WriteArchive(s.Desktop() + "/Notes.zip", tidyfold::test::ArchiveFormat::Zip,
                                          {{"Notes/n.txt", "n"}});
             WriteFile(s.Desktop() + "/Notes/n.txt", "n");
             WriteFile(s.Desktop() + "/Notes/extra.txt", "x");
             tidyfold::test::MakeDirs(s.Desktop() + "/Empty");
         },
         "Desktop Cleaning Complete!", 0, "Clean Desktop (move)"},
        {"send to the Trash", "cmdClean", "--clean", Operation::CleanDesktop, TransferMode::Trash, 0,
         [](const Sandbox& s) {
             WriteFile(s.Desktop() + "/a.txt", "a");
             WriteFile(s.Desktop() + "/sub/b.txt", "b");
         },
         "Desktop Cleaning Complete!", 0, "Clean Desktop (send to the Trash)"},
        {"copy, a link in the way", "cmdClean", "--clean", Operation::CleanDesktop, TransferMode::CopyThenDelete, 0,
         [](const Sandbox& s) {
             WriteFile(s.Desktop() + "/a.txt", "a");
             WriteFile(s.Desktop() + "/sub/b.txt", "b");
             tidyfold::test::MakeDirs(s.Offload());
             QCOMPARE(symlink("/tmp", (s.Offload() + "/sub").c_str()), 0);
         },
         "Desktop Cleaning Complete!", 1, "Clean Desktop (copy, then delete)"},
        {"delete, ended by a write-protected file", "cmdClean", "--clean", Operation::CleanDesktop,
         TransferMode::Delete, 0,
         [](const Sandbox& s) {
             WriteFile(s.Desktop() + "/a.txt", "a");
             WriteFile(s.Desktop() + "/sub/ro.txt", "r");
             QCOMPARE(chmod((s.Desktop() + "/sub/ro.txt").c_str(), 0444), 0);
         },
         "Ended by an error: 1 of 2 files processed.", 1, "Clean Desktop (delete)"},
        {"nothing on the Desktop", "cmdClean", "--clean", Operation::CleanDesktop, TransferMode::Move, 0,
         [](const Sandbox&) {}, "Desktop Cleaning Complete!", 0, "Clean Desktop (move)"},
        {"an offload folder that is no full path", "cmdClean", "--clean", Operation::CleanDesktop,
         TransferMode::Move, 0,
         [](const Sandbox& s) {
             WriteFile(s.Desktop() + "/a.txt", "a");
             s.SetSetting("TrashPath", "relative/path");
         },
         "Error 22: The offload folder must be a full path", 2, ""},
        {"Clean Uncompressed Folders", "cmdClearUC", "--clean-unpacked", Operation::CleanUncompressed,
         TransferMode::Move, 0, Photos, "Uncompressed folders removed! (1)", 0, "Clean Uncompressed Folders"},
        {"Remove Empty Folders", "cmdDelEmptyFolders", "--remove-empty", Operation::RemoveEmptyFolders,
         TransferMode::Move, 0,
         [](const Sandbox& s) {
             tidyfold::test::MakeDirs(s.Desktop() + "/e1/e2");
             WriteFile(s.Desktop() + "/full/x.txt", "x");
         },
         "Emptiy folders cleaned up!", 0, "Remove Empty Folders"},
    };
}

// A sandbox set up for the scenario, the same for every front end.
std::unique_ptr<Sandbox> Prepared(const Scenario& scenario)
{
    std::unique_ptr<Sandbox> sandbox = tidyfold::test::WindowSandbox();
    sandbox->WriteSettings(tidyfold::test::WindowOptions(*sandbox, scenario.mode, scenario.delUCFolders));
    scenario.make(*sandbox);
    return sandbox;
}

// Text with the sandbox's own folder named alike for every sandbox.
QString Same(QString text, const Sandbox& sandbox)
{
    return text.replace(QString::fromStdString(sandbox.Path()), QStringLiteral("<sandbox>"));
}

QStringList Same(QStringList lines, const Sandbox& sandbox)
{
    for (QString& line : lines)
        line = Same(line, sandbox);
    return lines;
}

// What the History holds of the newest pass, as its rows show it.
QStringList HistoryRows(const Sandbox& sandbox)
{
    const std::string path = sandbox.Home() + "/.local/state/tidyfold/history.sqlite";
    if (!tidyfold::test::Exists(path))
        return {};
    tidyfold::history::History history(path);
    const std::vector<tidyfold::history::PassRecord> passes = history.Passes(1);
    if (passes.empty())
        return {};
    const tidyfold::history::PassRecord& pass = passes.front();
    QStringList rows{tidyfold::ui::PassWhat(pass) + " | " + Same(tidyfold::ui::PassEnded(pass), sandbox) + " | " +
                     QString::number(pass.done) + " done, " + QString::number(pass.notDone) + " not"};
    QStringList actions;
    for (const tidyfold::history::ActionRecord& action : history.Actions(pass.id))
        actions << QString::fromStdString(std::string(tidyfold::history::Code(action.kind))) + " " +
                       tidyfold::ui::PathText(action.relative) + " -> " + tidyfold::ui::PathText(action.destination) +
                       ": " + tidyfold::ui::ActionOutcomeText(action) + " " +
                       Same(QString::fromStdString(action.note), sandbox);
    actions.sort();
    return rows + actions;
}

}  // namespace

class TestAccounts : public QObject, private tidyfold::test::WindowFixture {
    Q_OBJECT

private slots:
    void init() { Start(); }
    void cleanup() { Stop(); }

    void every_front_end_tells_the_same_story()
    {
        const std::vector<Scenario> scenarios = Scenarios();
        // The command line ages files on the real clock: its Desktops are
        // made first, and one second later they are all old.
        // Sandboxes stand in for each other: they go in the reverse order,
        // however the test ends.
        struct Stack : std::vector<std::unique_ptr<Sandbox>> {
            ~Stack()
            {
                while (!empty())
                    pop_back();
            }
        } commandLine;
        for (const Scenario& scenario : scenarios) {
            commandLine.push_back(Prepared(scenario));
            const std::string program = commandLine.back()->AppFolder() + "/tidyfold";
            QCOMPARE(link(TIDYFOLD_PROGRAM, program.c_str()), 0);
        }
        const std::time_t made = std::time(nullptr);
        while (std::time(nullptr) <= made)
            usleep(20'000);

        for (std::size_t i = 0; i < scenarios.size(); ++i) {
            const Scenario& scenario = scenarios[i];
            const Sandbox& cli = *commandLine[i];
            tidyfold::test::RunOptions options;
            options.environment = cli.Environment();
            const tidyfold::test::Ran ran =
                tidyfold::test::RunProgram(cli.AppFolder() + "/tidyfold", {scenario.flag}, options);

            // The runner itself, with the window's clock.
            auto direct = Prepared(scenario);
            tidyfold::PassReport report;
            {
                tidyfold::cTidyfold engine;
                engine.SetClock(tidyfold::test::MinuteAhead());
                tidyfold::cOptions settings;
                tidyfold::history::PassRunner runner(tidyfold::history::PassOrigin::Window);
                report = runner.Run(engine, scenario.operation, &settings);
            }
            const QStringList boxLines = report.CouldNotRun()
                                             ? QStringList{tidyfold::ui::ErrorText(*report.error)}
                                             : tidyfold::ui::ResultLines(report, "; see File > Show Log.");
            const QStringList printed = report.CouldNotRun() ? QStringList()
                                                             : tidyfold::ui::ResultLines(report, ".");
            const QStringList runnerRows = HistoryRows(*direct);
            const QStringList runnerBox = Same(boxLines, *direct);
            const QStringList runnerPrinted = Same(printed, *direct);
            const QStringList runnerFailures = Same(tidyfold::ui::FailureLines(report), *direct);
            direct.reset();

            auto shown = Prepared(scenario);
            QStringList windowBox;
            QStringList windowRows;
            {
                tidyfold::ui::frmMain window;
                window.SetClock(tidyfold::test::MinuteAhead());
                boxes->shown.clear();
                window.findChild<QPushButton*>(scenario.button)->click();
                QVERIFY(!boxes->shown.isEmpty());
                windowBox = Same(boxes->shown.front().text.split("\r\n"), *shown);
                windowRows = HistoryRows(*shown);
            }
            shown.reset();

            const QByteArray name = scenario.name;
            QVERIFY2(runnerBox.value(0).startsWith(scenario.firstLine), name + ": " + runnerBox.join('|').toUtf8());
            QCOMPARE(windowBox, runnerBox);
            QCOMPARE(ran.status, scenario.status);
            QCOMPARE(Same(QString::fromStdString(ran.out).split('\n', Qt::SkipEmptyParts), cli), runnerPrinted);
            const QString errors = Same(QString::fromStdString(ran.err), cli);
            for (const QString& failure : runnerFailures)
                QVERIFY2(errors.contains(failure), name + ": " + errors.toUtf8());
            if (report.CouldNotRun())
                QVERIFY2(errors.startsWith("tidyfold: " + runnerBox.front()), name + ": " + errors.toUtf8());
            QCOMPARE(windowRows, runnerRows);
            QCOMPARE(Same(HistoryRows(cli), cli), runnerRows);
            QCOMPARE(runnerRows.value(0).section(" | ", 0, 0), scenario.history);
        }
    }
};

QTEST_MAIN(TestAccounts)
#include "TestAccounts.moc"
