#include "app/HeadlessRun.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/DryRun.h"
#include "app/Notification.h"
#include "app/Output.h"
#include "app/TerminalProgress.h"
#include "base/Bool.h"
#include "engine/CopyProgress.h"
#include "engine/Passes.h"
#include "engine/Yield.h"
#include "engine/cTidyfold.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "shell/cSpecialFolders.h"
#include "ui/Text.h"

namespace tidyfold::app {

namespace {

volatile std::sig_atomic_t gStopAsked = 0;

void AskStop(int) { gStopAsked = 1; }

// Ctrl+C or a service manager's TERM stops the pass at its next check, as
// the Stop button does, and abandons a copy under way cleanly; so does
// output that can no longer be written.
void StopWhenAsked() {
    if (gStopAsked == 0 && !OutputFailed())
        return;
    if (cTidyfold* engine = CurrentEngine()) {
        engine->Cancel(kTrue);
        engine->AbandonCopy();
    }
}

// One line each; an entry of the log that spans lines ("\r\n" inside, as
// the window shows it) ends its lines the terminal's way.
void PrintLines(std::FILE* stream, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::string out;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (!(line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n'))
                out += line[i];
        }
        std::fprintf(stream, "%s\n", out.c_str());
    }
}

std::vector<Operation> Operations(const Request& request) {
    std::vector<Operation> operations;
    if (request.cleanUnpacked)
        operations.push_back(Operation::CleanUnpacked);
    if (request.clean)
        operations.push_back(Operation::CleanDesktop);
    if (request.removeEmpty)
        operations.push_back(Operation::RemoveEmpty);
    return operations;
}

// Files a Desktop clean moved (copied, moved, trashed or deleted) and those
// that could not be: what an automatic run's notification tells.
struct Tally {
    std::int32_t went = 0;
    std::int32_t failed = 0;
};

void NotifyAutomaticRun(const Tally& tally) {
    if (tally.went == 0 && tally.failed == 0)
        return;
    QString body = QCoreApplication::translate("tidyfold", "%n files taken off the Desktop.", nullptr, tally.went);
    if (tally.failed > 0)
        body += QLatin1Char(' ') +
                QCoreApplication::translate("tidyfold", "%n could not be moved.", nullptr, tally.failed);
    Notify(QCoreApplication::translate("tidyfold", "Tidyfold cleaned the Desktop"), body);
}

history::PassKind KindOf(Operation operation) {
    switch (operation) {
        case Operation::CleanUnpacked:
            return history::PassKind::CleanUncompressed;
        case Operation::RemoveEmpty:
            return history::PassKind::RemoveEmptyFolders;
        case Operation::CleanDesktop:
            break;
    }
    return history::PassKind::CleanDesktop;
}

// Runs the operation recorded in the history, as the window records its
// passes: nothing is done that the history does not know of, so History and
// Undo reach a scheduled pass too. A history that cannot be written stops the
// operation before it starts.
PassResult Recorded(cTidyfold& engine, cOptions& options, Operation operation) {
    options.LoadOptions();
    history::PassStart start;
    start.kind = KindOf(operation);
    if (operation == Operation::CleanDesktop)
        start.mode = ModeNumber(options.CopyAction());
    start.desktop = cSpecialFolders().Desktop();
    start.offload = options.OffloadPath();
    const std::unique_ptr<history::History> history = history::History::OpenDefault();
    const std::unique_ptr<history::PassRecorder> pass = history->Begin(start);
    engine.Journal(pass.get());
    PassResult result;
    try {
        result = RunOperation(engine, options, operation);
    } catch (const Error& error) {
        engine.Journal(nullptr);
        try {
            pass->End(history::PassEnding::Failed, error.Description());
        } catch (const Error&) {
            // Left to recovery at the next start; the first error is told.
        }
        throw;
    }
    engine.Journal(nullptr);
    pass->End(engine.Cancel() != 0 ? history::PassEnding::Stopped : history::PassEnding::Completed);
    return result;
}

// One operation; false when it could not run.
bool RunOne(Operation operation, const Request& request, Tally& tally, int& status) {
    cTidyfold engine;
    cOptions options;
    TerminalProgress progress(stderr);
    if (!request.quiet)
        engine.Connect(&progress);
    RegisterCurrentEngine(&engine);
    try {
        const PassResult result = Recorded(engine, options, operation);
        progress.Finish();
        RegisterCurrentEngine(nullptr);
        if (!request.quiet)
            PrintLines(stdout, ResultLines(result));
        PrintLines(stderr, result.failures);
        tally.went += result.processed - result.failed > 0 ? result.processed - result.failed : 0;
        tally.failed += result.failed;
        if (result.failed > 0 || engine.Cancel() != 0)
            status = kSomeFailed;
        return engine.Cancel() == 0;
    } catch (const Error& error) {
        progress.Finish();
        RegisterCurrentEngine(nullptr);
        std::fprintf(stderr, "tidyfold: %s\n", ui::ErrorText(error).toLocal8Bit().constData());
        status = kCouldNotRun;
        return false;
    }
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
    std::signal(SIGINT, AskStop);
    std::signal(SIGTERM, AskStop);
    SetYieldHook(StopWhenAsked);
    if (request.dryRun)
        return RunDryRun(Operations(request));
    Tally tally;
    int status = kAllWent;
    for (const Operation operation : Operations(request)) {
        if (!RunOne(operation, request, tally, status))
            break;
    }
    if (gStopAsked != 0)
        std::fputs("tidyfold: stopped\n", stderr);
    if (request.quiet)
        NotifyAutomaticRun(tally);
    return status;
}

}  // namespace tidyfold::app
