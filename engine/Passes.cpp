#include "engine/Passes.h"

#include "engine/cTidyfold.h"
#include "shell/cSpecialFolders.h"

namespace tidyfold {

void TakeCleanResult(const cTidyfold& engine, PassResult& result) {
    result.stopped = engine.Stopped();
    result.collected = static_cast<std::int32_t>(engine.colFiles().size());
    result.processed = result.stopped ? engine.Processed() : result.collected;
    result.mode = engine.Options()->CopyAction();
    result.offload = engine.TrashDirectory();
    result.failed = engine.FailedTransfers();
    result.failures = engine.Failures();
}

PassResult RunOperation(cTidyfold& engine, cOptions& options, Operation operation) {
    PassResult result;
    result.operation = operation;
    switch (operation) {
        case Operation::CleanDesktop:
            options.LoadOptions();
            // Unsafe settings stop the pass before unpacked folders are removed.
            engine.CheckSettings();
            if (options.DelUCFolders() == 1)
                result.unpackedRemoved = engine.ProcessCompressed(cSpecialFolders().Desktop());
            // Stopped while unpacked folders were checked: no pass follows.
            if (!engine.Stopped())
                engine.Clean();
            TakeCleanResult(engine, result);
            return result;
        case Operation::CleanUnpacked:
            result.unpackedRemoved = engine.ProcessCompressed(cSpecialFolders().Desktop());
            result.stopped = engine.Stopped();
            break;
        case Operation::RemoveEmpty:
            engine.CleanUpFolders(cSpecialFolders().Desktop());
            break;
    }
    result.failed = engine.FailedTransfers();
    result.failures = engine.Failures();
    return result;
}

namespace {

// Where the files of a pass went, for its result box.
std::string Destination(const PassResult& result) {
    switch (result.mode) {
        case TransferMode::CopyThenDelete:
        case TransferMode::Move:
            return "Offload folder: " + result.offload;
        case TransferMode::Delete:
            return "Files were deleted.";
        case TransferMode::Trash:
            return "Files were sent to the Trash.";
    }
    return "Files were left where they are.";  // a mode the settings file names but no one knows
}

std::vector<std::string> CleanDesktopLines(const PassResult& result, const std::string& logHint) {
    std::vector<std::string> lines;
    if (!result.stopped)
        lines.push_back("Desktop Cleaning Complete!");
    else if (result.collected == 0)
        lines.push_back("Stopped before any file was processed.");
    else
        lines.push_back("Stopped: " + std::to_string(result.processed) + " of " + std::to_string(result.collected) +
                        " files processed.");
    if (result.unpackedRemoved)
        lines.push_back(std::to_string(*result.unpackedRemoved) + " uncompressed folders removed");
    if (!result.stopped)
        lines.push_back(std::to_string(result.processed) + " files processed.");
    if (result.processed > 0)
        lines.push_back(Destination(result));
    if (result.failed > 0)
        lines.push_back(std::to_string(result.failed) + " files could not be copied or moved" + logHint);
    return lines;
}

}  // namespace

CleanPlan PlanOperation(cTidyfold& engine, Operation operation) {
    switch (operation) {
        case Operation::CleanUnpacked:
            return engine.PlanUnpackedFolders(cSpecialFolders().Desktop());
        case Operation::RemoveEmpty:
            return engine.PlanEmptyFolders(cSpecialFolders().Desktop());
        case Operation::CleanDesktop:
            break;
    }
    return engine.PlanClean();
}

std::vector<std::string> ResultLines(const PassResult& result, const std::string& logHint) {
    switch (result.operation) {
        case Operation::CleanDesktop:
            return CleanDesktopLines(result, logHint);
        case Operation::CleanUnpacked: {
            std::vector<std::string> lines{"Uncompressed folders removed! (" +
                                           std::to_string(result.unpackedRemoved.value_or(0)) + ")"};
            if (result.stopped)
                lines.push_back("Stopped before every folder was checked.");
            return lines;
        }
        case Operation::RemoveEmpty:
            return {"Emptiy folders cleaned up!"};
    }
    return {};
}

}  // namespace tidyfold
