#include "app/HeadlessRun.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/DryRun.h"
#include "app/Notification.h"
#include "app/StopSignals.h"
#include "app/Output.h"
#include "app/TerminalProgress.h"
#include "engine/CopyProgress.h"
#include "engine/cTidyfold.h"
#include "history/PassRunner.h"
#include "ui/ReportText.h"
#include "ui/Text.h"

namespace tidyfold::app {

namespace {

void PrintLines(std::FILE* stream, const QStringList& lines) {
    for (const QString& line : lines)
        std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
}

void PrintError(const Error& error) {
    std::fprintf(stderr, "tidyfold: %s\n", ui::ErrorText(error).toLocal8Bit().constData());
}

std::vector<Operation> Operations(const Request& request) {
    std::vector<Operation> operations;
    if (request.cleanUnpacked)
        operations.push_back(Operation::CleanUncompressed);
    if (request.clean)
        operations.push_back(Operation::CleanDesktop);
    if (request.removeEmpty)
        operations.push_back(Operation::RemoveEmptyFolders);
    return operations;
}

// The exit status a report asks for.
int StatusOf(const PassReport& report) {
    if (report.CouldNotRun())
        return kCouldNotRun;
    if (report.ending != Ending::Completed || report.unrecorded || !report.Failures().empty())
        return kSomeFailed;
    return kAllWent;
}

// Runs one operation through the runner and tells its report: the result
// box's lines on standard output, each failure and the error on standard
// error.
PassReport RunOne(history::PassRunner& runner, Operation operation, const Request& request) {
    cTidyfold engine;
    TerminalProgress progress(stderr);
    if (!request.quiet)
        engine.Connect(&progress);
    RegisterCurrentEngine(&engine);
    PassReport report;
    {
        const StopTarget target(engine);
        report = runner.Run(engine, operation);
    }
    progress.Finish();
    RegisterCurrentEngine(nullptr);
    if (!request.quiet && !report.CouldNotRun())
        PrintLines(stdout, ui::ResultLines(report, QStringLiteral(".")));
    PrintLines(stderr, ui::FailureLines(report));
    if (report.error)
        PrintError(*report.error);
    if (report.unrecorded)
        PrintError(*report.unrecorded);
    return report;
}

}  // namespace

int RunHeadless(const Request& request) {
    if (!request.error.isEmpty()) {
        std::fprintf(stderr, "tidyfold: %s\nTry 'tidyfold --help'.\n", request.error.toLocal8Bit().constData());
        return kCouldNotRun;
    }
    if (request.help) {
        std::fputs(HelpText().toLocal8Bit().constData(), stdout);
        return kAllWent;
    }
    if (request.version) {
        std::printf("%s\n", VersionText().toLocal8Bit().constData());
        return kAllWent;
    }
    HandleStopSignals();
    if (request.dryRun)
        return RunDryRun(Operations(request));
    // A quiet run is what the schedule starts.
    history::PassRunner runner(request.quiet ? history::PassOrigin::Schedule : history::PassOrigin::CommandLine);
    std::vector<PassReport> reports;
    int status = kAllWent;
    for (const Operation operation : Operations(request)) {
        // A run that can no longer say what it does goes no further.
        if (OutputFailed())
            break;
        reports.push_back(RunOne(runner, operation, request));
        status = std::max(status, StatusOf(reports.back()));
        // Stopped, or failed: the operations after it do not run.
        if (reports.back().ending != Ending::Completed)
            break;
    }
    if (StopSignalled())
        std::fputs("tidyfold: stopped\n", stderr);
    if (request.quiet)
        if (const std::optional<ui::Notice> notice = ui::NotificationOf(reports))
            Notify(notice->summary, notice->body);
    return status;
}

}  // namespace tidyfold::app
