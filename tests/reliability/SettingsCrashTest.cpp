// Crash consistency of the settings file: saves killed with SIGKILL at random
// moments never leave settings.ini cut off or holding a mix of two saves.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "settings/IniFile.h"
#include "settings/SettingsText.h"
#include "settings/cOptions.h"
#include "tests/reliability/Driver.h"
#include "tests/reliability/LossCheck.h"
#include "tests/support/TempDir.h"

namespace tidyfold::reliability {
namespace {

// The settings file is saved whole: written under a temporary name, flushed,
// renamed. A save killed at any moment leaves settings.ini complete, with
// the old values or the new ones, never a mix and never a cut-off file.
TEST(SettingsCrash, SaveKilledAtAnyMomentLeavesACompleteFile) {
#ifdef TIDYFOLD_SANITIZED
    const int kills = 15;
#else
    const int kills = 40;
#endif
    Sandbox box("/tmp");
    std::string seed = "[Other]\n";
    for (int i = 0; i < 20000; ++i)
        seed += "key" + std::to_string(i) + "=a value that makes the file long enough to take a while\n";
    seed += "[TYFL]\nTimelimit=7\nCopyAction=0\nTrashPath=/seed\nDelUCFolders=0\nDelNullFiles=0\n";
    const std::string file = box.AppFolder() + "/settings.ini";
    const std::vector<std::string> saves{"save", "20"};

    test::WriteFile(file, seed);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunDriver(TIDYFOLD_CRASH_DRIVER, box, box.Path() + "/save.out", saves).exitCode, 0);
    const double seconds = SecondsSince(start);

    std::mt19937_64 rng(CrashSeed() + 4);
    std::set<std::int16_t> seen;
    for (int i = 0; i < kills; ++i) {
        test::WriteFile(file, seed);
        pid_t pid = StartDriver(TIDYFOLD_CRASH_DRIVER, box, box.Path() + "/save.out", saves);
        SleepSeconds(std::uniform_real_distribution<double>(0.0, seconds)(rng));
        kill(pid, SIGKILL);
        WaitDriver(pid);

        const std::string text = test::ReadFile(file);
        cOptions options;
        ASSERT_NO_THROW(ParseSettingsText(text, options)) << "kill " << i;
        const std::int16_t action = ModeNumber(options.CopyAction());
        const std::string expected = action == 0 ? "/seed" : action == 1 ? "/first/offload folder"
                                                                       : "/second/offload folder";
        ASSERT_EQ(options.OffloadPath(), expected) << "kill " << i << ": a mix of two saves";
        ASSERT_EQ(ini::ReadValue(text, "Other", "key19999").value_or("(gone)"),
                  "a value that makes the file long enough to take a while")
            << "kill " << i << ": the rest of the file was lost";
        seen.insert(action);
        for (const auto& [name, entry] : Scan(box.AppFolder()))
            ASSERT_TRUE(name == "settings.ini" || IsTempName(name)) << Printable(name);
    }
    std::printf("settings saves: %d kills, the file held %zu different saved states\n", kills, seen.size());
}

}  // namespace
}  // namespace tidyfold::reliability
