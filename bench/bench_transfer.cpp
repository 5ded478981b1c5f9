// Transfer speed: a Clean Desktop pass that moves many small files (mode 1)
// and one that copies one large file and then deletes it (mode 0), each
// against the plainest program doing the same work with the same system
// calls. The engine's clock is set far ahead so every file is old; nothing
// is back-dated.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchSupport.h"
#include "engine/cTidyfold.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "history/Restore.h"

using namespace tidyfold;
using namespace tidyfold::bench;

namespace {

constexpr int kSmallFiles = 20000;
constexpr int kSmallFolders = 1000;
static_assert(kSmallFiles == kSmallDesktopFiles);
constexpr int kSmallRuns = 7;
constexpr int kBigRuns = 3;
constexpr std::uint64_t kBigSize = 1ULL << 30;
constexpr std::uint64_t kNeededFree = 4ULL << 30;

Clock FarFuture() {
    const std::int64_t future = static_cast<std::int64_t>(time(nullptr)) + 3650LL * 86400;
    return [future] { return future; };
}

std::optional<std::int32_t> CleanOld() {
    cTidyfold engine;
    engine.SetClock(FarFuture());
    return engine.Clean();
}

void RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
        Fail("rename " + from + ": " + std::strerror(errno));
}

// The floor of a move pass once the files are known: the destination
// folders made parents first, one rename per file, the emptied Desktop
// folders removed deepest first (the pass removes them too).
void MoveKnownTree(const std::string& from, const std::string& to, const Tree& tree) {
    MakeDir(to);
    for (const std::string& folder : tree.folders) MakeDir(to + "/" + folder);
    for (const std::string& file : tree.files) RenameNoReplace(from + "/" + file, to + "/" + file);
    for (auto it = tree.folders.rbegin(); it != tree.folders.rend(); ++it) {
        if (rmdir((from + "/" + *it).c_str()) != 0) Fail("rmdir " + *it + ": " + std::strerror(errno));
    }
}

// What a real program must do first: list every folder and read every
// file's times (one lstat each, as find does).
void Walk(const std::string& root, const std::string& relative, Tree& found) {
    const std::string path = relative.empty() ? root : root + "/" + relative;
    DIR* dir = opendir(path.c_str());
    if (!dir) Fail("opendir " + path + ": " + std::strerror(errno));
    std::vector<std::string> subFolders;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string child = relative.empty() ? name : relative + "/" + name;
        struct stat st {};
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) Fail("lstat " + child);
        if (S_ISDIR(st.st_mode)) {
            subFolders.push_back(child);
        } else {
            found.files.push_back(child);
        }
    }
    closedir(dir);
    for (const std::string& folder : subFolders) {
        found.folders.push_back(folder);
        Walk(root, folder, found);
    }
}

// Puts the moved files back on the Desktop for the next run: the same
// files, still in cache, so every run starts from the same state.
void MoveBack(const Sandbox& box, const Tree& tree) {
    MoveKnownTree(box.Offload(), box.Desktop(), tree);
    if (rmdir(box.Offload().c_str()) != 0) Fail("rmdir " + box.Offload() + ": " + std::strerror(errno));
    sync();  // the last run's renames must not flush inside the next timed run
}

void CheckMoved(const Sandbox& box, const Tree& tree) {
    Check(CountFiles(box.Offload()) == tree.files.size(), "not every file reached the offload folder");
    Check(CountFiles(box.Desktop()) == 0, "files were left on the Desktop");
}

// Wall and processor time of one timed run, appended to the samples.
void SmallFilesFigure(const Sandbox& box, const std::string& where) {
    PrintHeading("2a. transfer, mode 1 (move): " + Thousands(kSmallFiles) + " files of 256 bytes in " +
                 Thousands(kSmallFolders) + " folders, " + where);
    const Tree tree = MakeSmallDesktop(box);
    Timed engine, floor, walkFloor;
    for (int i = 0; i < kSmallRuns; ++i) {
        std::optional<std::int32_t> moved;
        engine.Run([&] { moved = CleanOld(); });
        Check(moved == kSmallFiles, "Clean did not collect every file");
        CheckMoved(box, tree);
        MoveBack(box, tree);

        floor.Run([&] { MoveKnownTree(box.Desktop(), box.Offload(), tree); });
        CheckMoved(box, tree);
        MoveBack(box, tree);

        walkFloor.Run([&] {
            Tree found;
            Walk(box.Desktop(), "", found);
            MoveKnownTree(box.Desktop(), box.Offload(), found);
        });
        CheckMoved(box, tree);
        MoveBack(box, tree);
    }
    PrintSamples("engine Clean, mode 1", engine.wall);
    PrintSamples("floor: mkdir + rename(2) + rmdir loop", floor.wall);
    PrintSamples("floor with the walk (readdir + lstat)", walkFloor.wall);
    PrintRatio("Clean / rename loop with walk, wall (medians)", engine.wall.Median(), walkFloor.wall.Median(), 1.3);
    PrintTime("engine Clean, processor time", engine.cpu.Median(), "(median)");
    PrintTime("rename loop with walk, processor time", walkFloor.cpu.Median(), "(median)");
    PrintRatio("Clean / rename loop with walk, processor", engine.cpu.Median(), walkFloor.cpu.Median(), 1.3);
    // Without the walk no real program could know the files; shown for scale.
    std::printf("   %-44s %10.2f x wall, %.2f x processor\n", "Clean / rename loop alone",
                engine.wall.Median() / floor.wall.Median(), engine.cpu.Median() / floor.cpu.Median());
}

// A pass as the main window runs it: recorded in the history.
std::optional<std::int32_t> RecordedCleanOld(history::History& history, std::int64_t& pass) {
    cTidyfold engine;
    engine.SetClock(FarFuture());
    const std::unique_ptr<history::PassRecorder> recorder =
        history.Begin({history::PassKind::CleanDesktop, 1, "", "", 0});
    engine.Journal(recorder.get());
    const std::optional<std::int32_t> count = engine.Clean();
    recorder->End(history::PassEnding::Completed);
    pass = recorder->Id();
    return count;
}

// The floor of an Undo once the files are known: the Desktop folders made
// parents first, one rename per file back, then the emptied offload folders
// removed, deepest first, as Undo removes them.
void MoveKnownBack(const Sandbox& box, const Tree& tree) {
    for (const std::string& folder : tree.folders) MakeDir(box.Desktop() + "/" + folder);
    for (const std::string& file : tree.files)
        RenameNoReplace(box.Offload() + "/" + file, box.Desktop() + "/" + file);
    for (auto folder = tree.folders.rbegin(); folder != tree.folders.rend(); ++folder)
        rmdir((box.Offload() + "/" + *folder).c_str());
}

// Files and links an Undo moved back (it also makes the emptied folders
// again).
std::int64_t MovedBack(const history::RestoreResult& result) {
    std::int64_t moved = 0;
    for (const ReportEntry& entry : result.entries)
        moved += entry.undid == JournalAction::Move && entry.outcome == JournalOutcome::Done ? 1 : 0;
    return moved;
}

void ClearOffload(const Sandbox& box) {
    Check(CountFiles(box.Offload()) == 0, "files were left in the offload folder");
    RemoveTree(box.Offload());
    sync();
}

void HistoryFigure(const Sandbox& box, const std::string& where) {
    PrintHeading("2c. the history: the pass of 2a recorded in it, and its Undo, " + where);
    const Tree tree = MakeSmallDesktop(box);
    const std::unique_ptr<history::History> store = history::History::OpenDefault();
    Timed plain, recorded, undo, backFloor, walkBackFloor;
    for (int i = 0; i < kSmallRuns; ++i) {
        plain.Run([&] { Check(CleanOld() == kSmallFiles, "Clean did not collect every file"); });
        CheckMoved(box, tree);
        MoveBack(box, tree);

        std::int64_t pass = 0;
        recorded.Run([&] { Check(RecordedCleanOld(*store, pass) == kSmallFiles, "not every file collected"); });
        CheckMoved(box, tree);
        sync();
        undo.Run([&] {
            Check(MovedBack(history::Restore(*store, pass)) == kSmallFiles, "Undo did not put every file back");
        });
        Check(CountFiles(box.Desktop()) == tree.files.size(), "not every file is back on the Desktop");
        ClearOffload(box);

        MoveKnownTree(box.Desktop(), box.Offload(), tree);
        sync();
        backFloor.Run([&] { MoveKnownBack(box, tree); });
        ClearOffload(box);

        MoveKnownTree(box.Desktop(), box.Offload(), tree);
        sync();
        walkBackFloor.Run([&] {
            Tree found;
            Walk(box.Offload(), "", found);
            MoveKnownBack(box, found);
        });
        ClearOffload(box);
    }
    PrintSamples("engine Clean, mode 1", plain.wall);
    PrintSamples("the same, recorded in the history", recorded.wall);
    PrintRatio("recorded / not recorded, wall (medians)", recorded.wall.Median(), plain.wall.Median(), 1.1);
    PrintRatio("recorded / not recorded, processor", recorded.cpu.Median(), plain.cpu.Median(), 1.1);
    PrintSamples("Undo of that pass", undo.wall);
    PrintSamples("floor: mkdir + rename(2) loop back", backFloor.wall);
    PrintSamples("floor with the walk of the offload folder", walkBackFloor.wall);
    PrintRatio("Undo / walk + rename loop back, wall", undo.wall.Median(), walkBackFloor.wall.Median(), 1.3);
    PrintRatio("Undo / walk + rename loop back, processor", undo.cpu.Median(), walkBackFloor.cpu.Median(), 1.3);
    // As in 2a, a loop handed the list beforehand is shown for scale: Undo
    // reads its list from the history and checks each file before moving it.
    std::printf("   %-44s %10.2f x wall, %.2f x processor\n", "Undo / rename loop back alone",
                undo.wall.Median() / backFloor.wall.Median(), undo.cpu.Median() / backFloor.cpu.Median());
}

void WriteBigFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("create " + path + ": " + std::strerror(errno));
    std::vector<char> chunk(8 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 131 % 251);
    for (std::uint64_t done = 0; done < kBigSize; done += chunk.size()) {
        if (write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) Fail("write " + path);
    }
    fsync(fd);
    close(fd);
}

void LinkOntoDesktop(const std::string& master, const std::string& desktopFile) {
    // A second name for the same data: each run starts from a cached, flushed
    // file without writing a gibibyte first.
    if (link(master.c_str(), desktopFile.c_str()) != 0) Fail("link " + desktopFile + ": " + std::strerror(errno));
}

void CheckCopied(const std::string& desktopFile, const std::string& copy) {
    struct stat st {};
    Check(lstat(copy.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) == kBigSize, "the copy is missing or short");
    Check(lstat(desktopFile.c_str(), &st) != 0, "the Desktop file was not deleted");
    unlink(copy.c_str());
    sync();  // freeing the copy's blocks must not land in the next timed run
}

void BigFileFigure(const Sandbox& box) {
    PrintHeading("2b. transfer, mode 0 (copy then delete): one 1 GiB file, same file system (best of " +
                 std::to_string(kBigRuns) + ")");
    const std::string master = box.Path() + "/master.bin";
    const std::string desktopFile = box.Desktop() + "/big.bin";
    const std::string copy = box.Offload() + "/big.bin";
    box.Reset();
    WriteBigFile(master);
    box.WriteSettings(0);
    Samples engine, reference;
    for (int i = 0; i < kBigRuns; ++i) {
        LinkOntoDesktop(master, desktopFile);
        std::optional<std::int32_t> copied;
        engine.seconds.push_back(TimeIt([&] { copied = CleanOld(); }));
        Check(copied == 1, "Clean did not collect the file");
        CheckCopied(desktopFile, copy);

        LinkOntoDesktop(master, desktopFile);
        reference.seconds.push_back(TimeIt([&] {
            RunQuiet({"cp", desktopFile, copy});
            RunQuiet({"sync", copy});
            if (unlink(desktopFile.c_str()) != 0) Fail("unlink " + desktopFile);
        }));
        CheckCopied(desktopFile, copy);
    }
    unlink(master.c_str());
    PrintTime("engine Clean, mode 0", engine.Best(), "(best)");
    PrintTime("cp, then sync of the copy, then rm", reference.Best(), "(best)");
    PrintRatio("Clean / cp + sync", engine.Best(), reference.Best(), 1.3);
    std::printf("   (sync is given the copy's name, so it flushes that file as the engine does,\n"
                "    not every file system of the machine)\n");
}

}  // namespace

int main(int argc, char** argv) {
    // "bench_transfer history": the history's figures alone, in memory, to
    // repeat them without the rest (each run prints one set).
    if (argc > 1 && std::string_view(argv[1]) == "history") {
        if (!IsMemoryFileSystem(MemoryBase())) {
            std::printf("no memory file system: set TIDYFOLD_BENCH_MEMORY_DIR\n");
            return 1;
        }
        Sandbox box(MemoryBase());
        HistoryFigure(box, "in " + MemoryBase());
        return 0;
    }
    const std::uint64_t free = FreeBytes(BenchBase());
    if (free < kNeededFree) {
        PrintHeading("2. transfer");
        std::printf("   skipped: %s has %s MiB free, the transfer figures need 4 GiB\n", BenchBase().c_str(),
                    Thousands(free >> 20).c_str());
        return 0;
    }
    {
        Sandbox box;
        SmallFilesFigure(box, "same file system, " + BenchBase());
        HistoryFigure(box, BenchBase());
        std::printf("   (rename loop: file list known beforehand; destination folders made and emptied\n"
                    "    Desktop folders removed inside the timing, as the pass does)\n");
        BigFileFigure(box);
    }
    // The same moves in memory: what the engine adds to the system calls,
    // without the disk's journal and discard stalls, which come and go with
    // whatever else the machine writes.
    if (IsMemoryFileSystem(MemoryBase())) {
        Sandbox box(MemoryBase());
        SmallFilesFigure(box, "in " + MemoryBase() + " (memory file system)");
        HistoryFigure(box, "in " + MemoryBase());
    }
    return 0;
}
