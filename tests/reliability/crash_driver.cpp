// Test helper, not a user tool: runs one Clean pass over the Desktop of $HOME
// with the settings.ini of the application folder named by the one argument,
// at a "now" far in the future so every file counts as old. The crash suite
// starts it and kills it at random moments. Prints the engine's log; exits 0
// when the pass ended normally, 3 when it ended with an error.
//
// With "save N" after the folder it saves the settings N times instead,
// alternating between two sets of values. With "journal" the pass is
// recorded in the history of passes ($XDG_STATE_HOME), as the program
// records it; with "undo" it puts back the newest Clean Desktop pass of the
// history instead. TIDYFOLD_CRASH_LACKS=1 makes it work as on a drive
// without a no-replace rename and without hard links.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>

#include "engine/cTidyfold.h"
#include "base/Error.h"
#include "fs/Fault.h"
#include "fs/FileSystem.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "history/Restore.h"
#include "settings/cOptions.h"
#include "tests/support/Sandbox.h"

namespace {

int SaveRepeatedly(int times) {
    tidyfold::cOptions options;
    for (int i = 0; i < times; ++i) {
        const bool first = i % 2 == 0;
        options.CopyAction(first ? tidyfold::TransferMode::Move : tidyfold::TransferMode::Delete);
        options.OffloadPath(first ? "/first/offload folder" : "/second/offload folder");
        options.TimeLimit(first ? 1.5f : 2.5f);
        try {
            options.SaveOptions();
        } catch (const tidyfold::Error& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 3;
        }
    }
    return 0;
}

// The pass as the main window runs it: recorded in the history.
std::optional<std::int32_t> JournalledClean(tidyfold::cTidyfold& engine) {
    auto history = tidyfold::history::History::OpenDefault();
    const std::unique_ptr<tidyfold::history::PassRecorder> pass =
        history->Begin({tidyfold::history::PassKind::CleanDesktop, std::nullopt, "", "", 0});
    engine.Journal(pass.get());
    const std::optional<std::int32_t> count = engine.Clean();
    pass->End(tidyfold::history::PassEnding::Completed);
    return count;
}

int Undo() {
    auto history = tidyfold::history::History::OpenDefault();
    for (const tidyfold::history::PassRecord& pass : history->Passes()) {
        if (pass.kind == tidyfold::history::PassKind::CleanDesktop) {
            const tidyfold::history::RestoreResult result = tidyfold::history::Restore(*history, pass.id);
            std::printf("restored %lld\n", static_cast<long long>(result.restored));
            return 0;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool save = argc == 4 && std::strcmp(argv[2], "save") == 0;
    const bool journal = argc == 3 && std::strcmp(argv[2], "journal") == 0;
    const bool undo = argc == 3 && std::strcmp(argv[2], "undo") == 0;
    if (argc != 2 && !save && !journal && !undo) {
        std::fprintf(stderr, "usage: %s APPLICATION_FOLDER [save TIMES | journal | undo]\n", argv[0]);
        return 64;
    }
    tidyfold::fs::SetApplicationFolderForTesting(argv[1]);
    // A drive without a no-replace rename and without hard links (exFAT,
    // FAT), pretended on any file system: names are then claimed by
    // exclusive creates, a step a kill may interrupt too.
    if (const char* lacks = std::getenv("TIDYFOLD_CRASH_LACKS"); lacks != nullptr && *lacks == '1') {
        tidyfold::fs::fault::Pretend(tidyfold::fs::fault::Lack::NoReplaceRename);
        tidyfold::fs::fault::Pretend(tidyfold::fs::fault::Lack::HardLinks);
    }
    // Killed just before its n-th removal of a file: in a copy, the moment
    // a file is in both places.
    if (const char* at = std::getenv("TIDYFOLD_CRASH_KILL_AT_UNLINK"); at != nullptr && std::atoi(at) > 0)
        tidyfold::fs::fault::InjectAction(tidyfold::fs::fault::Call::Unlink, std::atoi(at), [] { raise(SIGKILL); });
    if (save)
        return SaveRepeatedly(std::atoi(argv[3]));
    tidyfold::cTidyfold engine;
    engine.SetClock([] { return static_cast<std::int64_t>(tidyfold::test::kFarFuture); });
    try {
        if (undo)
            return Undo();
        auto count = journal ? JournalledClean(engine) : engine.Clean();
        std::fputs(engine.Log().c_str(), stdout);
        std::printf("collected %d\n", count.value_or(0));
        return 0;
    } catch (const tidyfold::Error& error) {
        std::fputs(engine.Log().c_str(), stdout);
        std::fprintf(stderr, "%s\n", error.what());
        return 3;
    }
}
