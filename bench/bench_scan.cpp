// Scan speed and scan memory: a Clean Desktop pass over a large Desktop on
// which nothing is old enough, so the pass is the walk and the ageing alone.
// The reference is find(1) asking the same question of the same tree.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "bench/BenchSupport.h"
#include "tests/support/RecentRecord.h"
#include "engine/cTidyfold.h"
#include "shell/RecentFiles.h"
#include "history/History.h"
#include "history/PassRecorder.h"

using namespace tidyfold;
using namespace tidyfold::bench;

namespace {

const int kFiles = ScanDesktopShape().files;
const int kFolders = ScanDesktopShape().folders;
constexpr int kRuns = 5;

std::optional<std::int32_t> CleanOnce(const Clock& clock) {
    cTidyfold engine;
    if (clock) engine.SetClock(clock);
    return engine.Clean();
}

// The same pass as the main window runs it: recorded in the history.
std::optional<std::int32_t> RecordedCleanOnce(history::History& store) {
    cTidyfold engine;
    const std::unique_ptr<history::PassRecorder> pass = store.Begin({history::PassKind::CleanDesktop, 1, "", "", 0});
    engine.Journal(pass.get());
    const std::optional<std::int32_t> count = engine.Clean();
    pass->End(history::PassEnding::Completed);
    return count;
}

// What recording the pass in the history adds to the scan: the pass's start
// and end (and recovery's look for passes that never ended).
void RecordedScanFigure() {
    PrintHeading("1b. scan recorded in the history: the pass of 1 as the main window runs it (median of " +
                 std::to_string(kRuns) + ")");
    const std::unique_ptr<history::History> store = history::History::OpenDefault();
    RecordedCleanOnce(*store);
    Samples plain, recorded;
    for (int i = 0; i < kRuns; ++i) {
        plain.seconds.push_back(TimeIt([] { CleanOnce({}); }));
        recorded.seconds.push_back(TimeIt([&] { RecordedCleanOnce(*store); }));
    }
    PrintSamples("engine Clean", plain);
    PrintSamples("the same, recorded in the history", recorded);
    PrintRatio("recorded / not recorded (medians)", recorded.Median(), plain.Median(), 1.1);
}

void ScanFigure(const Sandbox& box) {
    PrintHeading("1. scan: Clean over " + Thousands(kFiles) + " files in " + Thousands(kFolders) +
                 " folders, none old enough (warm, median of " + std::to_string(kRuns) + ")");
    const std::vector<std::string> find{"find", box.Desktop(), "-type", "f", "-atime", "+7"};
    // Warm both: the first walk pulls the directories and inodes into cache.
    Check(!CleanOnce({}).has_value(), "the scan collected files on a fresh Desktop");
    RunQuiet(find);
    Samples engine, reference, engineCpu, referenceCpu;
    for (int i = 0; i < kRuns; ++i) {
        double cpu = CpuSelf();
        engine.seconds.push_back(TimeIt([] { CleanOnce({}); }));
        engineCpu.seconds.push_back(CpuSelf() - cpu);
        cpu = CpuChildren();
        reference.seconds.push_back(TimeIt([&] { RunQuiet(find); }));
        referenceCpu.seconds.push_back(CpuChildren() - cpu);
    }
    PrintSamples("engine Clean (no-op yield)", engine);
    PrintSamples("find -type f -atime +7", reference);
    PrintRatio("Clean / find, wall time (medians)", engine.Median(), reference.Median(), 1.0);
    PrintSamples("engine Clean, processor time", engineCpu);
    PrintSamples("find, processor time", referenceCpu);
    PrintRatio("Clean / find, processor time", engineCpu.Median(), referenceCpu.Median(), 1.0);
}

// What the desktop's record of opened files adds to the scan. It is read
// (parsed, each of its folders looked up) at the first file that its own
// times make old, and each such file is looked up in it: a scan of files in
// use never reads it, one of old files pays for both. A record of 1,000
// entries, every hundredth file of the Desktop, each opened in an
// application a month ago, so that no file's fate changes.
void RecordFigure(const Sandbox& box) {
    constexpr int kEntries = 1000;
    constexpr int kRecordRuns = 7;
    PrintHeading("1c. scan with the desktop's record of opened files: " + Thousands(kEntries) +
                 " entries, against no record (alternately, median of " + std::to_string(kRecordRuns) + ")");
    const Tree tree = PlanTree(ScanDesktopShape());
    const std::int64_t month = static_cast<std::int64_t>(time(nullptr)) - 30LL * 86400;
    test::RecentRecord record;
    for (int i = 0; i < kEntries; ++i) {
        const std::string path = box.Desktop() + "/" + tree.files[tree.files.size() * i / kEntries];
        record.File(path, month, month, month).OpenedIn(path, "Document Viewer", month + 60);
    }
    const std::string recordFile = box.RecentFilesFile();
    const std::string aside = recordFile + ".aside";
    record.Write(recordFile);
    std::printf("   record: %s, %s bytes\n", recordFile.c_str(), Thousands(test::ReadFile(recordFile).size()).c_str());
    // What one pass spends on the record when a file needs it: reading,
    // parsing, and one look-up of each folder it names.
    Samples reading;
    for (int i = 0; i < kRecordRuns; ++i)
        reading.seconds.push_back(TimeIt([] { Check(ReadRecentFiles().files.Size() == kEntries, "the record"); }));
    PrintSamples("reading the record alone", reading);
    const auto compare = [&](const std::string& what, const Clock& clock) {
        Samples with, without, withCpu, withoutCpu;
        CleanOnce(clock);
        for (int i = 0; i < kRecordRuns; ++i) {
            double cpu = CpuSelf();
            with.seconds.push_back(TimeIt([&] { CleanOnce(clock); }));
            withCpu.seconds.push_back(CpuSelf() - cpu);
            Check(std::rename(recordFile.c_str(), aside.c_str()) == 0, "cannot put the record aside");
            cpu = CpuSelf();
            without.seconds.push_back(TimeIt([&] { CleanOnce(clock); }));
            withoutCpu.seconds.push_back(CpuSelf() - cpu);
            Check(std::rename(aside.c_str(), recordFile.c_str()) == 0, "cannot put the record back");
        }
        std::printf("   %s:\n", what.c_str());
        PrintSamples("with the record", with);
        PrintSamples("no record", without);
        PrintRatio("with / without, wall time (medians)", with.Median(), without.Median(), 1.05);
        PrintRatio("with / without, processor time", withCpu.Median(), withoutCpu.Median(), 1.05);
    };
    compare("none old (the record is never needed)", {});
    // Every file old and left where it is (CopyAction 4): each is looked up.
    box.WriteSettings(4);
    const std::int64_t future = static_cast<std::int64_t>(time(nullptr)) + 3650LL * 86400;
    compare("every file old (read, each file looked up)", [future] { return future; });
    box.WriteSettings(1);
    Check(std::remove(recordFile.c_str()) == 0, "cannot remove the record");
}

long StatusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
    }
    return -1;
}

// Resets the peak resident size to the present one; false where the kernel
// does not offer it.
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

// Runs one Clean in a forked child and returns how far its peak resident size
// rose above what the child held before the pass, in KiB.
long PeakGrowthKiB(const Clock& clock) {
    int fds[2];
    Check(pipe(fds) == 0, "pipe");
    const pid_t pid = fork();
    Check(pid >= 0, "fork");
    if (pid == 0) {
        close(fds[0]);
        long baseline = 0;
        if (ResetPeak()) {
            baseline = StatusKiB("VmHWM");
        } else {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            baseline = usage.ru_maxrss;
        }
        CleanOnce(clock);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const long peak = std::max(StatusKiB("VmHWM"), static_cast<long>(usage.ru_maxrss));
        const long growth = peak - baseline;
        (void)!write(fds[1], &growth, sizeof growth);
        _exit(0);
    }
    close(fds[1]);
    long growth = -1;
    const bool got = read(fds[0], &growth, sizeof growth) == static_cast<ssize_t>(sizeof growth);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    Check(got && WIFEXITED(status) && WEXITSTATUS(status) == 0, "the measuring child failed");
    return growth;
}

void MemoryFigure(const Sandbox& box) {
    PrintHeading("4. peak memory of the scan (forked child, VmHWM growth during Clean)");
    const long fresh = PeakGrowthKiB({});
    std::printf("   %-44s %10ld KiB per %s files\n", "nothing collected", fresh * 100000 / kFiles,
                Thousands(100000).c_str());
    // Every file old, and a transfer mode that leaves collected files where
    // they are: the list of collected files is then at its largest.
    box.WriteSettings(4);
    const std::int64_t future = static_cast<std::int64_t>(time(nullptr)) + 3650LL * 86400;
    const long all = PeakGrowthKiB([future] { return future; });
    box.WriteSettings(1);
    std::printf("   %-44s %10ld KiB per %s files\n", "every file collected (CopyAction 3)", all * 100000 / kFiles,
                Thousands(100000).c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // "bench_scan record" prints figure 1c alone, to repeat it.
    const bool recordOnly = argc > 1 && std::string(argv[1]) == "record";
    Sandbox box;
    std::printf("generating %s files in %s folders below %s ...\n", Thousands(kFiles).c_str(),
                Thousands(kFolders).c_str(), box.Desktop().c_str());
    std::fflush(stdout);
    const TreeShape shape = ScanDesktopShape();
    MakeTree(box.Desktop(), PlanTree(shape), shape.fileSize);
    if (recordOnly) {
        CleanOnce({});  // warm
        RecordFigure(box);
        return 0;
    }
    ScanFigure(box);
    RecordedScanFigure();
    MemoryFigure(box);
    // After the memory figure: its passes of collected files would leave the
    // heap grown, and the forked child's peak would no longer rise.
    RecordFigure(box);
    Check(CountFiles(box.Desktop()) == static_cast<std::size_t>(kFiles), "the Desktop lost files");
    return 0;
}
