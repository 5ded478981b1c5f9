// Test helper, not a user tool: runs one Clean pass over the Desktop of $HOME
// with the settings.ini of the application folder named by the one argument,
// at a "now" far in the future so every file counts as old. The crash suite
// starts it and kills it at random moments. Prints the engine's log; exits 0
// when the pass ended normally, 3 when it ended with an error.

#include <cstdio>
#include <exception>

#include "engine/cTidyfold.h"
#include "fs/Error.h"
#include "fs/FileSystem.h"
#include "tests/reliability/Sandbox.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s APPLICATION_FOLDER\n", argv[0]);
        return 64;
    }
    tidyfold::fs::SetApplicationFolderForTesting(argv[1]);
    tidyfold::cTidyfold engine;
    engine.SetClock([] { return static_cast<std::int64_t>(tidyfold::reliability::kFarFuture); });
    try {
        auto count = engine.Clean();
        std::fputs(engine.Log().c_str(), stdout);
        std::printf("collected %d\n", count.value_or(0));
        return 0;
    } catch (const tidyfold::Error& error) {
        std::fputs(engine.Log().c_str(), stdout);
        std::fprintf(stderr, "%s\n", error.what());
        return 3;
    }
}
