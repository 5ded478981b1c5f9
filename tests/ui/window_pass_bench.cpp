// Prints how long a Clean Desktop pass takes with the main window showing
// its progress, against the same pass with no window at all. The window's
// per-file work (status line, yields into the event loop) should add little.
//
// Usage: window_pass_bench [FILES]   (default 100000; offscreen platform)

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "GuiTestSupport.h"
#include "engine/Yield.h"
#include "engine/cTidyfold.h"
#include "ui/QtYield.h"
#include "ui/frmMain.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void MakeDesktop(const tidyfold::test::Sandbox& sandbox, int files)
{
    const int perFolder = 100;
    for (int i = 0; i < files; ++i) {
        const std::string folder = sandbox.Desktop() + "/folder" + std::to_string(i / perFolder);
        if (i % perFolder == 0)
            tidyfold::test::MakeDirs(folder);
        tidyfold::test::WriteFile(folder + "/file" + std::to_string(i) + ".txt", "x");
    }
}

double HeadlessPass()
{
    tidyfold::SetYieldHook({});
    const auto start = Clock::now();
    tidyfold::cTidyfold engine;
    engine.Clean();
    return Seconds(start);
}

double WindowPass(tidyfold::ui::frmMain& window, bool yield)
{
    if (yield)
        tidyfold::ui::InstallQtYieldHook();
    const auto start = Clock::now();
    window.findChild<QPushButton*>("cmdClean")->click();
    const double seconds = Seconds(start);
    tidyfold::SetYieldHook({});
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    tidyfold::test::Sandbox sandbox;
    // Nothing is old by a week: the pass examines every file, raises its
    // events and yields, and transfers nothing, so it can run again.
    sandbox.WriteSettings(sandbox.Options());
    MakeDesktop(sandbox, files);
    tidyfold::test::ScriptedBoxes boxes;
    tidyfold::ui::frmMain window;
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);

    HeadlessPass();  // warm the caches
    double headless = 1e9;
    double windowed = 1e9;
    double eventsOnly = 1e9;
    for (int round = 0; round < 3; ++round) {
        headless = std::min(headless, HeadlessPass());
        windowed = std::min(windowed, WindowPass(window, true));
        eventsOnly = std::min(eventsOnly, WindowPass(window, false));
    }
    std::printf("files: %d\nheadless pass: %.3f s\nwindow pass:   %.3f s\nratio: %.2f\n", files, headless,
                windowed, windowed / headless);
    std::printf("window pass without event processing: %.3f s\n", eventsOnly);
    return 0;
}
