#include "history/PassRunner.h"

#include <cerrno>
#include <utility>

#include "base/Error.h"
#include "engine/cTidyfold.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "history/Restore.h"
#include "settings/cOptions.h"
#include "shell/cSpecialFolders.h"

namespace tidyfold::history {

namespace {

PassReport Failed(PassReport report, const Error& error) {
    report.ending = Ending::Failed;
    report.error = error;
    return report;
}

// Writes how the pass ended. Another program holding the history's lock for
// a while must not turn a pass that did its work into one that is left
// "running": the end is tried again; only when it still cannot be written
// does the report say so.
void End(PassRecorder& pass, PassReport& report, int tries) {
    if (report.operation == Operation::CleanDesktop)
        pass.Files(report.collected, report.processed);
    const std::string error = report.error ? report.error->what() : std::string();
    for (int attempt = 1;; ++attempt) {
        try {
            pass.End(EndingOf(report), error);
            return;
        } catch (const Error& failure) {
            if (attempt < tries && failure.IsSystem(EBUSY))
                continue;
            report.unrecorded = failure;
            return;
        }
    }
}

}  // namespace

PassEnding EndingOf(const PassReport& report) {
    switch (report.ending) {
        case Ending::Completed:
            return PassEnding::Completed;
        case Ending::Stopped:
            return PassEnding::Stopped;
        case Ending::Failed:
            break;
    }
    return PassEnding::Failed;
}

PassRunner::PassRunner(PassOrigin origin, History* history, Clock clock)
    : origin_(origin), history_(history), clock_(clock ? std::move(clock) : SystemClock()) {}

PassRunner::~PassRunner() = default;

History& PassRunner::Recorded() {
    if (history_ == nullptr) {
        owned_ = History::OpenDefault(clock_);
        history_ = owned_.get();
    }
    return *history_;
}

template <typename Body>
PassReport PassRunner::RunRecorded(cTidyfold& engine, PassReport report, const PassStart& start, Body&& body) {
    // Nothing is done that the history does not know about: a history that
    // cannot be written stops the pass before it starts.
    std::unique_ptr<PassRecorder> pass;
    try {
        pass = Recorded().Begin(start);
    } catch (const Error& error) {
        return Failed(std::move(report), error);
    }
    engine.Journal(pass.get());
    std::optional<Error> failure;
    try {
        body();
    } catch (const Error& error) {
        failure = error;
    }
    engine.Journal(nullptr);
    // The engine's account, with what only the runner knows.
    PassReport told = engine.Report();
    told.operation = report.operation;
    if (!told.mode)
        told.mode = report.mode;
    if (told.desktop.empty())
        told.desktop = start.desktop;
    if (told.offload.empty())
        told.offload = start.offload;
    told.pass = pass->Id();
    told.ending = failure ? Ending::Failed : engine.Stopped() ? Ending::Stopped : Ending::Completed;
    told.error = std::move(failure);
    End(*pass, told, endTries_);
    return told;
}

PassReport PassRunner::Run(cTidyfold& engine, Operation operation, cOptions* options) {
    PassReport report;
    report.operation = operation;
    PassStart start;
    start.kind = operation;
    start.origin = origin_;
    bool unpacked = operation == Operation::CleanUncompressed;
    try {
        if (operation == Operation::CleanDesktop) {
            // Checked before anything is touched: unsafe settings stop the
            // pass before unpacked folders are removed.
            engine.CheckSettings();
            if (options != nullptr)
                options->LoadOptions();
            const cOptions& settings = options != nullptr ? *options : *engine.Options();
            unpacked = settings.DelUCFolders() == 1;
            report.mode = engine.Options()->CopyAction();
            start.mode = ModeNumber(engine.Options()->CopyAction());
            start.offload = engine.Options()->OffloadPath();
        } else {
            start.offload = cOptions::StoredOffloadPath();
        }
        // Where the pass expects to work; the engine names the folders it
        // opens before its first change.
        start.desktop = cSpecialFolders().Desktop();
    } catch (const Error& error) {
        return Failed(std::move(report), error);
    }
    return RunRecorded(engine, std::move(report), start, [&] {
        switch (operation) {
            case Operation::CleanDesktop:
                if (unpacked)
                    engine.ProcessCompressed(start.desktop);
                // Stopped while unpacked folders were checked: no pass follows.
                if (!engine.Stopped())
                    engine.Clean();
                break;
            case Operation::CleanUncompressed:
                engine.ProcessCompressed(start.desktop);
                break;
            case Operation::RemoveEmptyFolders:
                engine.CleanUpFolders(start.desktop);
                break;
            case Operation::Undo:
                throw Error::Refused("An Undo is run with the pass it puts back.");
        }
    });
}

PassReport PassRunner::CarryOut(cTidyfold& engine, const CleanPlan& plan, const std::vector<bool>& chosen) {
    PassReport report;
    report.mode = plan.mode;
    PassStart start;
    start.kind = PassKind::CleanDesktop;
    start.origin = origin_;
    start.mode = ModeNumber(plan.mode);
    start.desktop = plan.desktop;
    start.offload = plan.offload;
    return RunRecorded(engine, std::move(report), start, [&] { engine.CarryOut(plan, chosen); });
}

PassReport PassRunner::Undo(std::int64_t pass, const std::vector<std::int64_t>& actions) {
    PassReport report;
    report.operation = Operation::Undo;
    report.undoes = pass;
    RestoreResult result;
    try {
        History& history = Recorded();
        if (const std::optional<PassRecord> undone = history.Pass(pass)) {
            report.desktop = undone->desktop;
            report.offload = undone->offload;
        }
        Restore(history, pass, actions, {}, origin_, result);
    } catch (const Error& error) {
        report.ending = Ending::Failed;
        report.error = error;
    }
    report.pass = result.undoPass;
    report.entries = std::move(result.entries);
    report.emptiedFolders = static_cast<std::int32_t>(result.emptiedFolders);
    return report;
}

CleanPlan PassRunner::Plan(cTidyfold& engine, Operation operation) {
    switch (operation) {
        case Operation::CleanUncompressed:
            return engine.PlanUnpackedFolders(cSpecialFolders().Desktop());
        case Operation::RemoveEmptyFolders:
            return engine.PlanEmptyFolders(cSpecialFolders().Desktop());
        case Operation::Undo:
            throw Error::Refused("An Undo has no plan: the History lists what it would put back.");
        case Operation::CleanDesktop:
            break;
    }
    return engine.PlanClean();
}

}  // namespace tidyfold::history
