#include "bench/BenchSupport.h"

#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern char** environ;

namespace tidyfold::bench {

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double TimeIt(const std::function<void()>& body) {
    const double start = Now();
    body();
    return Now() - start;
}

namespace {
double CpuOf(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
}  // namespace

double CpuSelf() { return CpuOf(RUSAGE_SELF); }
double CpuChildren() { return CpuOf(RUSAGE_CHILDREN); }

double Samples::Best() const {
    return seconds.empty() ? 0.0 : *std::min_element(seconds.begin(), seconds.end());
}

double Samples::Median() const {
    if (seconds.empty()) return 0.0;
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t mid = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2.0;
}

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "benchmark failed: %s\n", message.c_str());
    std::fflush(stdout);
    std::exit(2);
}

void Check(bool condition, const std::string& message) {
    if (!condition) Fail(message);
}

std::string BenchBase() {
    const char* base = std::getenv("TIDYFOLD_BENCH_DIR");
    return base && *base ? base : "/tmp";
}

bool IsMemoryFileSystem(const std::string& path) {
    struct statfs info {};
    return statfs(path.c_str(), &info) == 0 && info.f_type == TMPFS_MAGIC;
}

std::string MemoryBase() {
    const char* chosen = std::getenv("TIDYFOLD_BENCH_MEMORY_DIR");
    const std::string shm = chosen && *chosen ? chosen : "/dev/shm";
    if (IsMemoryFileSystem(shm) && access(shm.c_str(), W_OK) == 0) return shm;
    return BenchBase();
}

std::uint64_t FreeBytes(const std::string& path) {
    struct statvfs info {};
    if (statvfs(path.c_str(), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

void MakeDir(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        Fail("mkdir " + path + ": " + std::strerror(errno));
}

namespace {

int RemoveEntry(const char* path, const struct stat*, int type, FTW*) {
    const int rc = (type == FTW_DP) ? rmdir(path) : unlink(path);
    return rc == 0 || errno == ENOENT ? 0 : -1;
}

std::size_t g_counted = 0;

int CountEntry(const char*, const struct stat*, int type, FTW*) {
    if (type == FTW_F || type == FTW_SL || type == FTW_SLN) ++g_counted;
    return 0;
}

}  // namespace

void RemoveTree(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    // FTW_PHYS: a link inside the tree goes as a link, its target stays.
    if (nftw(path.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS) != 0)
        Fail("remove " + path + ": " + std::strerror(errno));
}

std::size_t CountFiles(const std::string& root) {
    g_counted = 0;
    if (nftw(root.c_str(), CountEntry, 32, FTW_PHYS) != 0) return 0;
    return g_counted;
}

TreeShape ScanDesktopShape() {
    TreeShape shape;
    shape.files = 100000;
    shape.folders = 5000;
    shape.topLevelFiles = 100;
    shape.fanout = 9;
    shape.fileSize = 64;
    return shape;
}

Tree MakeSmallDesktop(const Sandbox& box) {
    TreeShape shape;
    shape.files = kSmallDesktopFiles;
    shape.folders = 1000;
    shape.topLevelFiles = 200;
    const Tree tree = PlanTree(shape);
    box.WriteSettings(1);
    box.Reset();
    MakeTree(box.Desktop(), tree, 256);
    sync();
    return tree;
}

Tree PlanTree(const TreeShape& shape) {
    Tree tree;
    tree.folders.reserve(static_cast<std::size_t>(shape.folders));
    // Breadth first: every folder of one level gets its fanout of children
    // before the next level starts, until the count is reached.
    std::vector<std::string> level{""};
    while (static_cast<int>(tree.folders.size()) < shape.folders) {
        std::vector<std::string> next;
        for (const std::string& parent : level) {
            for (int i = 0; i < shape.fanout && static_cast<int>(tree.folders.size()) < shape.folders; ++i) {
                char name[32];
                std::snprintf(name, sizeof name, "Folder %03d", i);
                next.push_back(parent.empty() ? name : parent + "/" + name);
                tree.folders.push_back(next.back());
            }
        }
        level = std::move(next);
    }
    tree.files.reserve(static_cast<std::size_t>(shape.files));
    for (int i = 0; i < shape.files; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "note-%06d.txt", i);
        if (i < shape.topLevelFiles || tree.folders.empty()) {
            tree.files.emplace_back(name);
        } else {
            // Consecutive files share a folder, as a walk would meet them.
            const std::size_t rest = static_cast<std::size_t>(shape.files - shape.topLevelFiles);
            const std::size_t at = static_cast<std::size_t>(i - shape.topLevelFiles) * tree.folders.size() / rest;
            tree.files.push_back(tree.folders[at] + "/" + name);
        }
    }
    return tree;
}

void MakeTree(const std::string& root, const Tree& tree, std::size_t fileSize) {
    for (const std::string& folder : tree.folders) MakeDir(root + "/" + folder);
    const std::string contents(fileSize, 'x');
    for (const std::string& file : tree.files) WriteFile(root + "/" + file, contents);
}

void RunQuiet(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) Fail("cannot start " + argv[0] + ": " + std::strerror(rc));
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail(argv[0] + " did not succeed");
}

Sandbox::Sandbox(const std::string& base) : test::Sandbox(base) {
    WriteArchiveList("zip,rar,arj,lzh,cab,");
    WriteSettings(1);
}

std::string Thousands(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

void PrintHeading(const std::string& title) {
    std::printf("\n== %s\n", title.c_str());
    std::fflush(stdout);
}

void PrintTime(const std::string& label, double seconds, const std::string& note) {
    std::printf("   %-44s %10.1f ms%s%s\n", label.c_str(), seconds * 1e3, note.empty() ? "" : "  ", note.c_str());
    std::fflush(stdout);
}

void PrintSamples(const std::string& label, const Samples& samples) {
    char note[64];
    std::snprintf(note, sizeof note, "(median of %zu; best %.1f ms)", samples.seconds.size(), samples.Best() * 1e3);
    PrintTime(label, samples.Median(), note);
}

double PrintRatio(const std::string& what, double engine, double reference, double target) {
    const double ratio = reference > 0 ? engine / reference : 0.0;
    // 1.0 and 1.3 as such, 1.05 with its second place.
    const int places = std::abs(target * 10 - std::round(target * 10)) < 1e-9 ? 1 : 2;
    std::printf("   ratio %-38s %10.2f x   (target <= %.*f x: %s)\n", what.c_str(), ratio, places, target,
                ratio <= target ? "met" : "MISSED");
    std::fflush(stdout);
    return ratio;
}

}  // namespace tidyfold::bench
