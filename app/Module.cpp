#include "app/Module.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "app/CommandLine.h"
#include "app/Display.h"
#include "app/HeadlessRun.h"
#include "app/Output.h"
#include "app/SystemdSchedule.h"
#include "base/Error.h"
#include "history/History.h"
#include "settings/cOptions.h"
#include "ui/AppIcon.h"
#include "ui/InitControlClasses.h"
#include "ui/MessageBoxes.h"
#include "ui/QtYield.h"
#include "ui/Schedule.h"
#include "ui/Text.h"
#include "ui/frmMain.h"

namespace tidyfold {

namespace {

QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Should Qt's platform fail where the check before it saw a display (a
// Wayland socket but no Wayland platform for Qt, a frame buffer that will not
// open), the start ends as one without a display does, not in Qt's abort.
QtMessageHandler gQtMessages = nullptr;

void NoWindowInsteadOfAbort(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        gQtMessages(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", app::kNoDisplayText);
    std::fflush(stderr);
    std::_Exit(app::kCouldNotRun);
}

// A pass that was killed (or lost its power) is put in order before anything
// else touches the Desktop: what it did is read from the disk, a copy it
// left in both places is finished, its temporary files go.
void RecoverInterruptedPasses() {
    try {
        history::History::OpenDefault()->Recover();
    } catch (const Error& error) {
        ui::Boxes().Show(nullptr, ui::ErrorText(error), QString::fromLatin1(kAppTitle), QMessageBox::Warning,
                         QMessageBox::Ok);
    }
}

int RunWindow(int& argc, char** argv) {
    gQtMessages = qInstallMessageHandler(NoWindowInsteadOfAbort);
    QApplication app(argc, argv);
    qInstallMessageHandler(gQtMessages);
    QApplication::setApplicationName(QStringLiteral("Tidyfold"));
    // Ties the windows to the launcher, so the desktop shows its icon and
    // name for them (the Wayland app id, and the X11 startup notice).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tidyfold.Tidyfold"));
    QApplication::setWindowIcon(ui::AppIcon());
    // Qt has taken its own options (-platform, -style and the like) out:
    // anything left over is not for the window.
    const app::Request request = app::ParseCommandLine(QCoreApplication::arguments());
    if (!request.error.isEmpty() || request.Headless()) {
        const app::Request refused{.error = QStringLiteral("Options for a run without the window come first.")};
        app::WatchOutput();
        return app::FinishOutput(app::RunHeadless(request.error.isEmpty() ? refused : request));
    }
    // A failure here is not worth stopping for: the window shows anyway.
    (void)InitControlClasses();
    ui::InstallQtYieldHook();
    RecoverInterruptedPasses();
    app::SystemdSchedule schedule(QCoreApplication::applicationFilePath().toStdString());
    ui::SetSchedule(&schedule);
    ui::frmMain window;
    window.show();
    // Ends when the last window closes, or on File > Exit.
    const int status = QApplication::exec();
    ui::SetSchedule(nullptr);
    return status;
}

}  // namespace

int Main(int& argc, char** argv)
{
    const app::Request request = app::ParseCommandLine(Arguments(argc, argv));
    // Options the parser does not know may be Qt's own for the window; only
    // where a window can open (without one they are simply wrong).
    const bool forTheWindow = !request.Headless() && (request.error.isEmpty() || request.unknownOnly);
    if (forTheWindow && app::WindowCanOpen(argc, argv))
        return RunWindow(argc, argv);
    app::WatchOutput();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tidyfold"));
    if (forTheWindow && request.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", app::kNoDisplayText);
        return app::FinishOutput(app::kCouldNotRun);
    }
    return app::FinishOutput(app::RunHeadless(request));
}

}  // namespace tidyfold
