// The window's cost: a Clean Desktop pass started from the real main window
// (status line for every file, yields into the Qt event loop, the result
// box) against the same pass with no window, on the large scan Desktop on
// which nothing is old enough. Then the Preview of the same Desktop with
// every file old, from File > Preview Clean... until the table is painted,
// against the same headless pass.

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

#include "bench/BenchSupport.h"
#include "engine/Yield.h"
#include "engine/cTidyfold.h"
#include "history/PassRunner.h"
#include "ui/MessageBoxes.h"
#include "ui/QtYield.h"
#include "ui/frmMain.h"
#include "ui/frmPreview.h"

using namespace tidyfold;
using namespace tidyfold::bench;

namespace {

constexpr int kRuns = 5;

// Every file made today is old ten years from now.
std::int64_t TenYearsAhead() { return static_cast<std::int64_t>(time(nullptr)) + 3650LL * 86400; }

// Answers the result box at once and remembers what it said.
class AnsweringBoxes : public ui::MessageBoxes {
public:
    QMessageBox::StandardButton Show(QWidget*, const QString& text, const QString&, QMessageBox::Icon,
                                     QMessageBox::StandardButtons) override {
        ++shown;
        last = text;
        return QMessageBox::Ok;
    }
    int shown = 0;
    QString last;
};

double HeadlessPass() {
    SetYieldHook({});
    return TimeIt([] {
        cTidyfold engine;
        Check(!engine.Clean().has_value(), "the headless pass collected files");
    });
}

// The plan the Preview shows, made without a window: every file old, so
// every file is collected and planned.
double HeadlessPlan(std::int64_t future, std::size_t& planned) {
    SetYieldHook({});
    return TimeIt([&] {
        cTidyfold engine;
        engine.SetClock([future] { return future; });
        planned = engine.PlanClean().entries.size();
    });
}

double WindowPass(QPushButton& cmdClean, AnsweringBoxes& boxes) {
    const int before = boxes.shown;
    ui::InstallQtYieldHook();  // as the program does at start-up
    const double seconds = TimeIt([&] { cmdClean.click(); });
    SetYieldHook({});
    Check(boxes.shown == before + 1, "the window showed no result box");
    Check(boxes.last.contains(QStringLiteral("0 files processed.")), "unexpected result: " + boxes.last.toStdString());
    return seconds;
}

// The mode-1 pass of the small Desktop as the command line runs it: the
// same runner and history as the window's, without a window.
void HeadlessMovePass(const Sandbox& box, Timed& timed) {
    MakeSmallDesktop(box);
    SetYieldHook({});
    timed.Run([] {
        cTidyfold engine;
        const std::int64_t future = TenYearsAhead();
        engine.SetClock([future] { return future; });
        history::PassRunner runner(history::PassOrigin::CommandLine);
        const PassReport report = runner.Run(engine, Operation::CleanDesktop);
        Check(report.Transfers(JournalOutcome::Done) == kSmallDesktopFiles, "the headless pass did not move every file");
    });
}

// The same pass clicked in the window, which yields into the event loop
// once per file.
void WindowMovePass(const Sandbox& box, QPushButton& cmdClean, AnsweringBoxes& boxes, Timed& timed) {
    MakeSmallDesktop(box);
    ui::InstallQtYieldHook();
    timed.Run([&] { cmdClean.click(); });
    SetYieldHook({});
    Check(boxes.last.contains(QStringLiteral("20000 files processed.")), "unexpected result: " + boxes.last.toStdString());
}

// File > Preview Clean... until its table has been painted once; the
// Preview is then closed without cleaning. rows is what it listed.
double PreviewOpening(ui::frmMain& window, int& rows) {
    QAction* preview = window.findChild<QAction*>(QStringLiteral("mnuFilePreview"));
    Check(preview != nullptr, "the main window has no mnuFilePreview");
    double shown = 0.0;
    const double start = Now();
    // The plan is made with the yield hook in place, so the timer can fire
    // while the Desktop is still being read: it looks again until the
    // Preview is the modal window.
    std::function<void()> look = [&] {
        auto* dialog = qobject_cast<ui::frmPreview*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            Check(Now() - start < 600.0, "no Preview window opened");
            QTimer::singleShot(1, look);
            return;
        }
        auto* table = dialog->findChild<QTableView*>(QStringLiteral("tblPreview"));
        table->viewport()->repaint();
        shown = Now() - start;
        rows = table->model()->rowCount();
        dialog->reject();
    };
    QTimer::singleShot(0, look);
    ui::InstallQtYieldHook();
    preview->trigger();
    SetYieldHook({});
    return shown;
}

// 5b: the mode-1 pass of the small Desktop in the window against the same
// pass without one.
void MovePassFigure(AnsweringBoxes& boxes) {
    PrintHeading("5b. window: a mode-1 pass of " + Thousands(kSmallDesktopFiles) +
                 " files clicked in frmMain, one yield per file, against the same\n"
                 "   runner without a window (the command line's pass), both recorded (median of " +
                 std::to_string(kRuns) + ")");
    Sandbox moves;
    ui::frmMain mover;
    const std::int64_t future = TenYearsAhead();
    mover.SetClock([future] { return future; });
    mover.show();
    QApplication::processEvents();
    QPushButton* moveClean = mover.findChild<QPushButton*>(QStringLiteral("cmdClean"));
    Check(moveClean != nullptr, "the main window has no cmdClean");
    Timed warm, headless, windowed;
    HeadlessMovePass(moves, warm);
    WindowMovePass(moves, *moveClean, boxes, warm);
    for (int i = 0; i < kRuns; ++i) {
        HeadlessMovePass(moves, headless);
        WindowMovePass(moves, *moveClean, boxes, windowed);
    }
    PrintSamples("frmMain, cmdClean clicked, mode 1", windowed.wall);
    PrintSamples("headless PassRunner, mode 1", headless.wall);
    PrintRatio("window / headless, wall (medians)", windowed.wall.Median(), headless.wall.Median(), 1.1);
    PrintTime("frmMain, processor time", windowed.cpu.Median(), "(median)");
    PrintTime("headless PassRunner, processor time", headless.cpu.Median(), "(median)");
    PrintRatio("window / headless, processor (medians)", windowed.cpu.Median(), headless.cpu.Median(), 1.1);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Sandbox box;
    // Qt wants a private runtime folder; one inside the sandbox goes with it.
    const std::string runtime = box.Path() + "/run";
    MakeDir(runtime);
    chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    QApplication app(argc, argv);
    AnsweringBoxes boxes;
    ui::SetMessageBoxes(&boxes);
    // "5b" or "6" alone: only that figure, for a profiler.
    const std::string only = argc > 1 ? argv[1] : "";
    if (only == "5b") {
        MovePassFigure(boxes);
        ui::SetMessageBoxes(nullptr);
        return 0;
    }
    const TreeShape shape = ScanDesktopShape();
    std::printf("generating %s files in %s folders below %s ...\n", Thousands(shape.files).c_str(),
                Thousands(shape.folders).c_str(), box.Desktop().c_str());
    std::fflush(stdout);
    MakeTree(box.Desktop(), PlanTree(shape), shape.fileSize);

    ui::frmMain window;
    window.show();
    QApplication::processEvents();
    QPushButton* cmdClean = window.findChild<QPushButton*>(QStringLiteral("cmdClean"));
    Check(cmdClean != nullptr, "the main window has no cmdClean");

    if (only != "6") {
        PrintHeading("5. window: Clean Desktop clicked in frmMain (offscreen) against the headless pass,\n"
                     "   " + Thousands(shape.files) + " files, none old enough (warm, median of " + std::to_string(kRuns) + ")");
        HeadlessPass();
        WindowPass(*cmdClean, boxes);
        Samples headless, windowed;
        for (int i = 0; i < kRuns; ++i) {
            headless.seconds.push_back(HeadlessPass());
            windowed.seconds.push_back(WindowPass(*cmdClean, boxes));
        }
        PrintSamples("frmMain, cmdClean clicked", windowed);
        PrintSamples("headless cTidyfold::Clean", headless);
        PrintRatio("window / headless (medians)", windowed.Median(), headless.Median(), 1.3);

        MovePassFigure(boxes);
    }

    PrintHeading("6. Preview: File > Preview Clean... in frmMain until its table is painted, every one of the\n"
                 "   " + Thousands(shape.files) + " files old, against the headless pass of 5 (warm, median of " +
                 std::to_string(kRuns) + ")");
    const std::int64_t future = static_cast<std::int64_t>(time(nullptr)) + 3650LL * 86400;
    window.SetClock([future] { return future; });
    int rows = 0;
    PreviewOpening(window, rows);
    Samples previews, scans, plans;
    std::size_t planned = 0;
    for (int i = 0; i < kRuns; ++i) {
        scans.seconds.push_back(HeadlessPass());
        previews.seconds.push_back(PreviewOpening(window, rows));
        plans.seconds.push_back(HeadlessPlan(future, planned));
        Check(rows >= shape.files, "the Preview did not list every file: " + std::to_string(rows));
        Check(planned == static_cast<std::size_t>(rows), "the headless plan differs from the Preview's");
    }
    PrintSamples("Preview opened and painted, " + Thousands(static_cast<std::uint64_t>(rows)) + " rows", previews);
    PrintSamples("headless cTidyfold::Clean", scans);
    PrintRatio("Preview / headless scan (medians)", previews.Median(), scans.Median(), 1.5);
    // What the window adds to the plan it shows, beside the target's figure.
    PrintSamples("headless PlanClean, every file old", plans);
    std::printf("   Preview / headless plan (medians)                 %.2f x\n", previews.Median() / plans.Median());
    ui::SetMessageBoxes(nullptr);
    return 0;
}
