// The window's cost: a Clean Desktop pass started from the real main window
// (status line for every file, yields into the Qt event loop, the result
// box) against the same pass with no window, on the large scan Desktop on
// which nothing is old enough.

#include <QApplication>
#include <QPushButton>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "bench/BenchSupport.h"
#include "engine/Yield.h"
#include "engine/cTidyfold.h"
#include "ui/MessageBoxes.h"
#include "ui/QtYield.h"
#include "ui/frmMain.h"

using namespace tidyfold;
using namespace tidyfold::bench;

namespace {

constexpr int kRuns = 5;

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

double WindowPass(QPushButton& cmdClean, AnsweringBoxes& boxes) {
    const int before = boxes.shown;
    ui::InstallQtYieldHook();  // as the program does at start-up
    const double seconds = TimeIt([&] { cmdClean.click(); });
    SetYieldHook({});
    Check(boxes.shown == before + 1, "the window showed no result box");
    Check(boxes.last.contains(QStringLiteral("0 files processed.")), "unexpected result: " + boxes.last.toStdString());
    return seconds;
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
    const TreeShape shape = ScanDesktopShape();
    std::printf("generating %s files in %s folders below %s ...\n", Thousands(shape.files).c_str(),
                Thousands(shape.folders).c_str(), box.Desktop().c_str());
    std::fflush(stdout);
    MakeTree(box.Desktop(), PlanTree(shape), shape.fileSize);

    AnsweringBoxes boxes;
    ui::SetMessageBoxes(&boxes);
    ui::frmMain window;
    window.show();
    QApplication::processEvents();
    QPushButton* cmdClean = window.findChild<QPushButton*>(QStringLiteral("cmdClean"));
    Check(cmdClean != nullptr, "the main window has no cmdClean");

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
    ui::SetMessageBoxes(nullptr);
    return 0;
}
