#pragma once

// Shared pieces of the benchmark programs: the tests' sandbox, which points
// the engine at a temporary Desktop, tree generators, timing and the printed
// figures.
// The benchmarks print numbers; they never decide pass or fail by exit code
// except when the work itself went wrong.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/Sandbox.h"
#include "tests/support/TempDir.h"

namespace tidyfold::bench {

// Seconds on the monotonic clock.
double Now();
double TimeIt(const std::function<void()>& body);
// Processor time (user + system) of this process, and of its waited-for
// children: less disturbed than wall time when other work shares the cores.
double CpuSelf();
double CpuChildren();

struct Samples {
    std::vector<double> seconds;
    double Best() const;
    double Median() const;
};

// Wall and processor time of each run of a body.
struct Timed {
    Samples wall, cpu;
    void Run(const std::function<void()>& body) {
        const double cpuBefore = CpuSelf();
        wall.seconds.push_back(TimeIt(body));
        cpu.seconds.push_back(CpuSelf() - cpuBefore);
    }
};

// The folder where sandboxes go: $TIDYFOLD_BENCH_DIR, else /tmp.
std::string BenchBase();
// A memory file system ($TIDYFOLD_BENCH_MEMORY_DIR, else /dev/shm) when
// there is one, else BenchBase(): for
// figures about how work grows, which a disk's own delays would drown.
std::string MemoryBase();
bool IsMemoryFileSystem(const std::string& path);

// The test sandbox (home, Desktop with the usual user-dirs.dirs, application
// folder, offload folder; HOME and the application folder point into it while
// it lives) as the figures use it: below BenchBase() unless told otherwise,
// with an archive list and settings that move files older than a week.
class Sandbox : public test::Sandbox {
public:
    explicit Sandbox(const std::string& base = BenchBase());
};

std::uint64_t FreeBytes(const std::string& path);

// A generated tree: folders and files as paths relative to its root, folders
// parents first.
struct Tree {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

struct TreeShape {
    int files = 0;
    int folders = 0;
    int topLevelFiles = 0;  // files directly in the root; the rest spread over the folders
    int fanout = 10;        // sub-folders per folder, filled breadth first
    std::size_t fileSize = 64;
};

// The large Desktop of the scan and window figures: 100,000 files of 64
// bytes, 100 of them directly on the Desktop, the rest spread over 5,000
// folders four levels deep (9 + 81 + 729 + 4,181).
TreeShape ScanDesktopShape();

// The Desktop of the move, history and window-pass figures: 20,000 files of
// 256 bytes, 200 of them at the top, the rest in 1,000 folders, made afresh
// (the Desktop emptied, the offload folder removed), with settings for
// moving them (mode 1). Returns the tree made.
inline constexpr int kSmallDesktopFiles = 20000;
Tree MakeSmallDesktop(const Sandbox& box);

// Lays out shape's folders breadth first and spreads its files evenly.
Tree PlanTree(const TreeShape& shape);
// Creates the planned folders and files below root (which must exist).
void MakeTree(const std::string& root, const Tree& tree, std::size_t fileSize);

using test::WriteFile;
// A plain mkdir and a plain nftw removal, as the simplest program would make
// and remove folders: the floors of the transfer and archive figures are
// timed with them. MakeDir makes one level; an existing folder is fine.
void MakeDir(const std::string& path);
// Removes path and everything below it without following links.
void RemoveTree(const std::string& path);
// Regular files and links below root, at any depth.
std::size_t CountFiles(const std::string& root);

// Runs argv with its output thrown away; the exit status must be 0.
void RunQuiet(const std::vector<std::string>& argv);

// The figures as the benchmarks print them.
void PrintHeading(const std::string& title);
void PrintTime(const std::string& label, double seconds, const std::string& note = "");
// The median, with the best and the number of runs beside it.
void PrintSamples(const std::string& label, const Samples& samples);
// Prints "ratio a/b = r x (target <= t x: met|MISSED)"; returns r.
double PrintRatio(const std::string& what, double engine, double reference, double target);
std::string Thousands(std::uint64_t n);

// Aborts the benchmark with a message when the work went wrong.
[[noreturn]] void Fail(const std::string& message);
void Check(bool condition, const std::string& message);

}  // namespace tidyfold::bench
