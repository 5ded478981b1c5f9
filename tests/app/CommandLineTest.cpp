// The command line as a real process on a temporary Desktop, with no display
// and no session bus: exit statuses, what it prints, what it does on disk.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "history/History.h"
#include "tests/app/ProgramRun.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Snapshot.h"
#include "tests/support/TestArchive.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace tidyfold::test {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A sandbox Desktop and a copy of the program in the sandbox's application
// folder (a hard link: the program finds settings.ini beside itself).
class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = sandbox.AppFolder() + "/tidyfold";
        ASSERT_EQ(link(TIDYFOLD_PROGRAM, program_.c_str()), 0) << TIDYFOLD_PROGRAM;
        cOptions options = sandbox.Options(TransferMode::Move);
        options.TimeLimit(0.0f);  // every file older than "now" is old
        sandbox.WriteSettings(options);
        sandbox.WriteArchiveList("zip,");
    }

    Ran Run(const std::vector<std::string>& arguments, RunOptions options = {}) const {
        options.environment = sandbox.Environment();
        options.environment.push_back("PATH=/usr/bin:/bin");
        return RunProgram(program_, arguments, options);
    }

    // Files are only old once the clock has passed the second they were
    // made in: the program ages them on its own clock, in whole seconds.
    static void WaitUntilOld() {
        const std::time_t made = std::time(nullptr);
        while (std::time(nullptr) <= made)
            usleep(20'000);
    }

    Sandbox sandbox;
    std::string program_;
};

TEST_F(CommandLine, help_version_and_usage_errors) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"--version"}, 0, "tidyfold " + std::string(TIDYFOLD_VERSION_TEXT) + "\n", ""},
        {{"--help"}, 0, "Usage: tidyfold [options]", ""},
        {{"-h"}, 0, "--clean-unpacked", ""},
        {{"--bogus"}, 2, "", "tidyfold: Unknown option 'bogus'."},
        {{"--clean", "extra"}, 2, "", "Unexpected argument 'extra'."},
        {{"--quiet"}, 2, "", "--quiet goes with"},
        {{"--dry-run"}, 2, "", "--dry-run goes with"},
        {{"--clean", "--dry-run", "--quiet"}, 2, "", "--dry-run and --quiet do not go together."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        const Ran ran = Run(c.arguments);
        EXPECT_EQ(ran.status, c.status) << ran.err;
        EXPECT_TRUE(Contains(ran.out, c.out)) << ran.out;
        EXPECT_TRUE(Contains(ran.err, c.err)) << ran.err;
        if (c.err.empty()) {
            EXPECT_EQ(ran.err, "");
        }
    }
    EXPECT_FALSE(Exists(sandbox.Offload()));
}

// A socket that accepts connections and never speaks: a Wayland display
// that Qt's platforms cannot use.
class SilentSocket {
public:
    explicit SilentSocket(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
        EXPECT_EQ(listen(fd_, 8), 0);
    }
    ~SilentSocket() { close(fd_); }

private:
    int fd_;
};

TEST_F(CommandLine, where_no_window_can_open_it_says_so_and_exits_with_two) {
    const std::string noDisplay =
        "tidyfold: no display to open a window on; run it from a desktop session, or give an operation such as "
        "--clean (see --help)\n";
    const std::string silent = sandbox.Path() + "/wayland-silent";
    const SilentSocket socket(silent);
    struct Case {
        std::vector<std::string> environment;
        std::vector<std::string> arguments;
        std::string err;  // the whole of it, or with "..." what it contains
    };
    const std::vector<Case> cases = {
        {{}, {}, noDisplay},
        // No X server answers on this number, over a socket or over TCP.
        {{"DISPLAY=:7613"}, {}, noDisplay},
        {{"DISPLAY=127.0.0.1:93"}, {}, noDisplay},
        {{"DISPLAY=:7613"}, {"--bogus"}, "tidyfold: Unknown option 'bogus'.\nTry 'tidyfold --help'.\n"},
        {{"WAYLAND_DISPLAY=wayland-7613", "XDG_RUNTIME_DIR=" + sandbox.Path()}, {}, noDisplay},
        // A socket is there but Qt cannot use it: Qt's own failure ends the
        // start the same way, not in its abort.
        {{"WAYLAND_DISPLAY=" + silent}, {}, "..." + noDisplay},
        // Qt's offscreen platform needs no display: the start goes on to the
        // window, whose options are then checked.
        {{"QT_QPA_PLATFORM=offscreen"}, {"--bogus"}, "...tidyfold: Unknown option 'bogus'."},
        {{}, {"-platform", "offscreen", "--bogus"}, "...tidyfold: Unknown option 'bogus'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.environment) + " " + ::testing::PrintToString(c.arguments));
        RunOptions options;
        options.environment = sandbox.Environment();
        options.environment.push_back("PATH=/usr/bin:/bin");
        options.environment.insert(options.environment.end(), c.environment.begin(), c.environment.end());
        const Ran ran = RunProgram(program_, c.arguments, options);
        EXPECT_EQ(ran.status, 2) << ran.err;
        EXPECT_EQ(ran.out, "");
        if (c.err.starts_with("...")) {
            EXPECT_TRUE(Contains(ran.err, c.err.substr(3))) << ran.err;
        } else {
            EXPECT_EQ(ran.err, c.err);
        }
    }
}

TEST_F(CommandLine, output_that_cannot_be_written_is_an_error) {
    struct Case {
        std::vector<std::string> arguments;
        bool full;  // standard output on /dev/full, else a pipe no one reads
        std::string err;
    };
    const std::string full = "tidyfold: write error: No space left on device\n";
    const std::string closed = "tidyfold: write error: Broken pipe\n";
    const std::vector<Case> cases = {
        {{"--version"}, true, full},
        {{"--help"}, false, closed},
        {{"--clean", "--dry-run"}, true, full},
        {{"--clean"}, false, closed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front() + (c.full ? " > /dev/full" : " | closed pipe"));
        RunOptions options;
        if (c.full)
            options.stdoutFile = "/dev/full";
        else
            options.stdoutClosed = true;
        const Ran ran = Run(c.arguments, options);
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, c.err);
    }
}

TEST_F(CommandLine, clean_without_a_display_prints_the_result_and_moves_the_files) {
    WriteFile(sandbox.Desktop() + "/report.txt", "r");
    WriteFile(sandbox.Desktop() + "/Old/notes.txt", "n");
    WaitUntilOld();
    const Ran ran = Run({"--clean"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "Desktop Cleaning Complete!\n2 files processed.\nOffload folder: " + sandbox.Offload() +
                           "\n1 empty folder removed.\n");
    EXPECT_EQ(ran.err, "");  // no progress when standard error is no terminal
    EXPECT_EQ(ReadFile(sandbox.Offload() + "/report.txt"), "r");
    EXPECT_EQ(ReadFile(sandbox.Offload() + "/Old/notes.txt"), "n");
    EXPECT_FALSE(Exists(sandbox.Desktop() + "/Old"));  // emptied, then removed
    // Recorded in the history as the window records its passes, so History
    // and Undo reach it.
    {
        history::History recorded(history::History::DefaultPath());
        const std::vector<history::PassRecord> passes = recorded.Passes();
        ASSERT_EQ(passes.size(), 1u);
        EXPECT_EQ(passes[0].kind, history::PassKind::CleanDesktop);
        EXPECT_EQ(passes[0].ending, history::PassEnding::Completed);
        EXPECT_EQ(recorded.Actions(passes[0].id).size(), 3u);  // two moves, one empty folder
    }

    // Quiet: nothing printed, and nothing left to do.
    const Ran quiet = Run({"--clean", "--quiet"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST_F(CommandLine, progress_on_a_terminal_is_one_line_redrawn_and_cleared) {
    for (int i = 0; i < 3; ++i)
        WriteFile(sandbox.Desktop() + "/file" + std::to_string(i) + ".txt", "x");
    WaitUntilOld();
    RunOptions terminal;
    terminal.stderrTerminal = true;
    const Ran ran = Run({"--clean"}, terminal);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "Desktop Cleaning Complete!\n3 files processed.\nOffload folder: " + sandbox.Offload() + "\n");
    EXPECT_TRUE(Contains(ran.err, "\r\033[K")) << ran.err;
    EXPECT_TRUE(Contains(ran.err, "3 of 3  file")) << ran.err;
    EXPECT_FALSE(Contains(ran.err, "\n")) << ran.err;
    EXPECT_TRUE(ran.err.size() >= 4 && ran.err.substr(ran.err.size() - 4) == "\r\033[K") << ran.err;
}

TEST_F(CommandLine, failed_moves_are_listed_and_exit_with_one) {
    // As the unprivileged owner of the tree, with a folder it may not change:
    // its file cannot be moved out, the others can.
    WriteFile(sandbox.Desktop() + "/free.txt", "f");
    WriteFile(sandbox.Desktop() + "/Locked/stuck.txt", "s");
    for (const std::string& path : {sandbox.Path(), sandbox.Home(), sandbox.Desktop(), sandbox.Desktop() + "/free.txt",
                                    sandbox.Desktop() + "/Locked", sandbox.Desktop() + "/Locked/stuck.txt",
                                    sandbox.AppFolder(), sandbox.SettingsFile(), sandbox.AppFolder() + "/compressed.lst"})
        ASSERT_EQ(lchown(path.c_str(), UnprivilegedUid(), UnprivilegedGid()), 0) << path;
    ASSERT_EQ(chmod((sandbox.Desktop() + "/Locked").c_str(), 0555), 0);
    WaitUntilOld();
    RunOptions nobody;
    nobody.asNobody = true;
    const Ran ran = Run({"--clean"}, nobody);
    EXPECT_EQ(ran.status, 1) << ran.err;
    EXPECT_EQ(ran.out, "Desktop Cleaning Complete!\n2 files processed.\nOffload folder: " + sandbox.Offload() +
                           "\n1 file could not be copied or moved.\n");
    EXPECT_EQ(ran.err, "Could not move " + sandbox.Desktop() + "/Locked/stuck.txt: Permission denied\n");
    EXPECT_EQ(ReadFile(sandbox.Desktop() + "/Locked/stuck.txt"), "s");
    EXPECT_EQ(ReadFile(sandbox.Offload() + "/free.txt"), "f");
}

std::size_t EntriesIn(const std::string& folder) {
    std::error_code error;
    std::size_t count = 0;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        ++count;
    return count;
}

// Ctrl+C, a service manager's TERM and a closed terminal's HUP each end the
// pass before its next file, or in the middle of a copy: the files before
// went, the rest (the one being copied too) stay, and every telling says
// it was stopped.
TEST_F(CommandLine, each_stop_signal_ends_the_pass_before_its_next_file) {
    const struct {
        const char* name;
        int signal;
        TransferMode mode;
        int files;  // 0: one large file
    } cases[] = {
        {"SIGINT, moving", SIGINT, TransferMode::Move, 20000},
        {"SIGTERM, moving", SIGTERM, TransferMode::Move, 20000},
        {"SIGHUP, moving", SIGHUP, TransferMode::Move, 20000},
        {"SIGINT, in the middle of a copy", SIGINT, TransferMode::CopyThenDelete, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sandbox.Reset();
        cOptions options = sandbox.Options(c.mode);
        options.TimeLimit(0.0f);
        sandbox.WriteSettings(options);
        const int files = c.files > 0 ? c.files : 1;
        for (int i = 0; i < c.files; ++i)
            std::ofstream(sandbox.Desktop() + "/" + std::to_string(i) + ".txt");
        if (c.files == 0) {
            // Sparse: a gigabyte to copy, none to make.
            std::ofstream(sandbox.Desktop() + "/big.bin");
            ASSERT_EQ(truncate((sandbox.Desktop() + "/big.bin").c_str(), 1LL << 30), 0);
        }
        WaitUntilOld();
        bool sent = false;
        RunOptions run;
        run.whileRunning = [&](pid_t pid) {
            // Some files moved, or the copy's temporary file begun.
            if (!sent && EntriesIn(sandbox.Offload()) >= (c.files > 0 ? 300u : 1u))
                sent = kill(pid, c.signal) == 0;
        };
        const Ran ran = Run({"--clean"}, run);
        ASSERT_TRUE(sent);
        EXPECT_EQ(ran.status, 1) << ran.err;
        const std::size_t left = EntriesIn(sandbox.Desktop());
        const int processed = files - static_cast<int>(left);
        EXPECT_LT(processed, files);
        EXPECT_EQ(ran.out.rfind("Stopped: " + std::to_string(processed) + " of " + std::to_string(files) +
                                    " files processed.\n",
                                0),
                  0u)
            << ran.out;
        EXPECT_EQ(ran.err, "tidyfold: stopped\n");  // nothing failed
        // Nothing half-written stays behind: the offload folder holds the
        // files that went, whole.
        EXPECT_EQ(EntriesIn(sandbox.Offload()), static_cast<std::size_t>(processed));
        const history::PassRecord pass = history::History(sandbox.Home() + "/.local/state/tidyfold/history.sqlite")
                                             .Passes(1)
                                             .at(0);
        EXPECT_EQ(pass.ending, history::PassEnding::Stopped);
        EXPECT_EQ(pass.processed, processed);
        EXPECT_EQ(pass.done, processed);
    }
}

TEST_F(CommandLine, a_pass_that_cannot_run_exits_with_two_and_says_why) {
    struct Case {
        const char* what;
        std::string settings;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"unreadable setting", "[TYFL]\nCopyAction=move\n",
         "tidyfold: Error 13: Type mismatch\nCannot read the setting \"CopyAction\" in " + sandbox.SettingsFile() + "\n"},
        {"no offload folder", "[TYFL]\nTrashPath=relative/path\nTimelimit=0\n",
         "The offload folder must be a full path"},
    };
    WriteFile(sandbox.Desktop() + "/stays.txt", "s");
    WaitUntilOld();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(sandbox.SettingsFile(), c.settings);
        const Ran ran = Run({"--clean"});
        EXPECT_EQ(ran.status, 2);
        EXPECT_EQ(ran.out, "");
        EXPECT_TRUE(Contains(ran.err, c.err)) << ran.err;
        EXPECT_EQ(ReadFile(sandbox.Desktop() + "/stays.txt"), "s");
    }
    RemoveTree(sandbox.Desktop());
    const Ran missing = Run({"--remove-empty"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(Contains(missing.err, "tidyfold: Error 2: No such file or directory")) << missing.err;
}

TEST_F(CommandLine, unpacked_and_empty_folders_as_the_buttons_remove_them) {
    WriteArchive(sandbox.Desktop() + "/Photos.zip", ArchiveFormat::Zip, {{"Photos/a.jpg", "jpeg"}});
    WriteFile(sandbox.Desktop() + "/Photos/a.jpg", "jpeg");
    MakeDirs(sandbox.Desktop() + "/Empty/Deeper");
    const Ran unpacked = Run({"--clean-unpacked"});
    EXPECT_EQ(unpacked.status, 0) << unpacked.err;
    EXPECT_EQ(unpacked.out, "Uncompressed folders removed! (1)\n");
    EXPECT_FALSE(Exists(sandbox.Desktop() + "/Photos"));
    EXPECT_TRUE(Exists(sandbox.Desktop() + "/Photos.zip"));

    const Ran empty = Run({"--remove-empty"});
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "Emptiy folders cleaned up!\n2 empty folders removed.\n");
    EXPECT_FALSE(Exists(sandbox.Desktop() + "/Empty"));
}

// The lines of text, sorted: the order of a folder's listing is the file
// system's.
std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST_F(CommandLine, a_dry_run_lists_each_change_and_changes_nothing) {
    const std::string d = sandbox.Desktop() + "/";
    const std::string o = sandbox.Offload() + "/";
    struct Case {
        std::vector<std::string> arguments;
        TransferMode mode;
        std::vector<std::string> lines;  // sorted, the closing line included
    };
    const std::vector<std::string> removals = {"delete empty file: " + d + "zero.txt",
                                               "remove empty folder: " + d + "Empty",
                                               "remove empty folder: " + d + "Empty/Deeper",
                                               "remove unpacked folder: " + d + "Photos"};
    auto with = [&](std::vector<std::string> lines, const std::vector<std::string>& more) {
        lines.insert(lines.end(), more.begin(), more.end());
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    const std::vector<Case> cases = {
        {{"--clean", "--dry-run"}, TransferMode::Move,
         with(removals, {"Dry run: 8 changes, none made.", "move: " + d + "Old/notes.txt -> " + o + "Old/notes.txt",
                         "move: " + d + "Photos.zip -> " + o + "Photos.zip",
                         "move: " + d + "report.txt -> " + o + "report.txt", "remove empty folder: " + d + "Old"})},
        {{"--dry-run", "--clean"}, TransferMode::Trash,
         with(removals, {"Dry run: 8 changes, none made.", "send to the Trash: " + d + "Old/notes.txt",
                         "send to the Trash: " + d + "Photos.zip", "send to the Trash: " + d + "report.txt",
                         "remove empty folder: " + d + "Old"})},
        {{"--clean", "--dry-run"}, static_cast<TransferMode>(4),
         with(removals, {"Dry run: 4 changes, none made."})},
        {{"--clean-unpacked", "--dry-run"}, TransferMode::Move,
         {"Dry run: 1 changes, none made.", "remove unpacked folder: " + d + "Photos"}},
        {{"--remove-empty", "--dry-run"}, TransferMode::Move,
         {"Dry run: 2 changes, none made.", "remove empty folder: " + d + "Empty",
          "remove empty folder: " + d + "Empty/Deeper"}},
    };
    WriteArchive(d + "Photos.zip", ArchiveFormat::Zip, {{"Photos/a.jpg", "jpeg"}});
    WriteFile(d + "Photos/a.jpg", "jpeg");
    WriteFile(d + "report.txt", "r");
    WriteFile(d + "Old/notes.txt", "n");
    WriteFile(d + "zero.txt", "");
    WriteFile(d + "Apps/editor.desktop", "kept");
    MakeDirs(d + "Empty/Deeper");
    // Every file read once before the wait (as the snapshots and the archive
    // check read them): a file's first read sets its access time, which
    // counts as a use, and later reads leave it alone.
    (void)Scan(sandbox.Path());
    WaitUntilOld();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + std::to_string(ModeNumber(c.mode)));
        cOptions options = sandbox.Options(c.mode);
        options.TimeLimit(0.0f);
        options.DelUCFolders(1);
        options.DelNullFiles(1);
        options.KeepPatterns(std::vector<std::string>{"*.desktop"});
        sandbox.WriteSettings(options);
        // The whole sandbox: the Desktop, the settings, the offload folder,
        // the state folder a history would be kept in.
        const Snapshot before = Scan(sandbox.Path());
        const Ran ran = Run(c.arguments);
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ran.err, "");
        EXPECT_EQ(SortedLines(ran.out), c.lines) << ran.out;
        const Snapshot after = Scan(sandbox.Path());
        EXPECT_EQ(after.size(), before.size());
        for (const auto& [path, entry] : before) {
            // The program is a hard link that the other tests' links to the
            // same file touch (a link count is a change of status).
            if (path == "app/tidyfold")
                continue;
            const auto now = after.find(path);
            EXPECT_TRUE(now != after.end() && Untouched(entry, now->second)) << Printable(path);
        }
    }
}

}  // namespace
}  // namespace tidyfold::test
