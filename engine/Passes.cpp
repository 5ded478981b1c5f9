#include "engine/Passes.h"

#include "engine/cTidyfold.h"
#include "shell/cSpecialFolders.h"

namespace tidyfold {

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
            result.processed = engine.Clean().value_or(0);
            break;
        case Operation::CleanUnpacked:
            result.unpackedRemoved = engine.ProcessCompressed(cSpecialFolders().Desktop());
            break;
        case Operation::RemoveEmpty:
            engine.CleanUpFolders(cSpecialFolders().Desktop());
            break;
    }
    result.failed = engine.FailedTransfers();
    result.failures = engine.Failures();
    return result;
}

std::vector<std::string> ResultLines(const PassResult& result) {
    switch (result.operation) {
        case Operation::CleanDesktop: {
            std::vector<std::string> lines{"Desktop Cleaning Complete!"};
            if (result.unpackedRemoved)
                lines.push_back(std::to_string(*result.unpackedRemoved) + " uncompressed folders removed");
            lines.push_back(std::to_string(result.processed) + " files processed.");
            if (result.failed > 0)
                lines.push_back(std::to_string(result.failed) + " files could not be copied or moved.");
            return lines;
        }
        case Operation::CleanUnpacked:
            return {"Uncompressed folders removed! (" + std::to_string(result.unpackedRemoved.value_or(0)) + ")"};
        case Operation::RemoveEmpty:
            return {"Emptiy folders cleaned up!"};
    }
    return {};
}

}  // namespace tidyfold
