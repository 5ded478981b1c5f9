// Archive reconciliation: how ProcessCompressed grows with the Desktop. Two
// Desktops of the same make-up, one ten times the other; a pass that grows
// linearly takes about ten times as long on the larger one. Then what
// checking an unpacked folder against its archive costs, per MiB and per
// entry, against tools that read the same archive.

#include <algorithm>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "tests/support/TestArchive.h"
#include "engine/UnpackedFolderCheck.h"
#include "engine/cTidyfold.h"
#include "fs/OpenFolder.h"

using namespace tidyfold;
using namespace tidyfold::bench;
using test::ArchiveFormat;
using test::ArchiveItem;
using test::WriteArchive;

namespace {

constexpr int kRuns = 5;
// A single run longer than this is not repeated: the figure is clear enough.
constexpr double kLongRun = 20.0;

struct Shape {
    int files;     // directly on the Desktop; one in ten is an archive
    int folders;   // directly on the Desktop; half of them unpacked beside an archive
};

std::string Numbered(const char* format, int i) {
    char name[64];
    std::snprintf(name, sizeof name, format, i);
    return name;
}

void MakeDesktop(const Sandbox& box, const Shape& shape) {
    box.Reset();
    const int archives = shape.files / 10;
    const std::string content(64, 'x');
    // An unpacked folder goes only when its archive holds it, so the archives
    // beside one are real and hold its three files; the others are never read.
    const int withFolder = std::min(archives, shape.folders / 2);
    std::vector<ArchiveItem> parts;
    for (int f = 0; f < 3; ++f) parts.push_back({Numbered("part %d.txt", f), content});
    for (int i = 0; i < shape.files; ++i) {
        const std::string name = i < archives ? Numbered("Archive %05d.zip", i) : Numbered("Note %05d.txt", i);
        if (i < withFolder)
            WriteArchive(box.Desktop() + "/" + name, ArchiveFormat::Zip, parts);
        else
            WriteFile(box.Desktop() + "/" + name, content);
    }
    for (int i = 0; i < shape.folders; ++i) {
        const bool unpacked = i < shape.folders / 2;
        const std::string folder = box.Desktop() + "/" + Numbered(unpacked ? "Archive %05d" : "Folder %05d", i);
        MakeDir(folder);
        for (int f = 0; f < 3; ++f) WriteFile(folder + "/" + Numbered("part %d.txt", f), content);
    }
    // On a disk, the new tree's journal commit must not land inside a timed pass.
    if (!IsMemoryFileSystem(box.Path())) sync();
}

std::string Label(const Shape& shape) {
    return Thousands(static_cast<std::uint64_t>(shape.files)) + " files/" +
           Thousands(static_cast<std::uint64_t>(shape.folders)) + " folders";
}

// Best of kRuns ProcessCompressed passes, each on a freshly made Desktop.
double MeasureEngine(const Sandbox& box, const Shape& shape) {
    const int expected = std::min(shape.folders / 2, shape.files / 10);
    Samples samples;
    for (int i = 0; i < kRuns; ++i) {
        MakeDesktop(box, shape);
        std::int32_t removed = -1;
        samples.seconds.push_back(TimeIt([&] {
            cTidyfold engine;
            removed = engine.ProcessCompressed(box.Desktop());
        }));
        Check(removed == expected, "ProcessCompressed removed " + std::to_string(removed) + " folders, expected " +
                                       std::to_string(expected));
        if (samples.seconds.back() > kLongRun) break;
    }
    char note[64];
    std::snprintf(note, sizeof note, "(best of %zu)", samples.seconds.size());
    PrintTime("engine, " + Label(shape), samples.Best(), note);
    return samples.Best();
}

// The part no implementation can avoid: removing the unpacked folders, each
// with its files, knowing already which they are.
double MeasureRemoval(const Sandbox& box, const Shape& shape) {
    const int unpacked = std::min(shape.folders / 2, shape.files / 10);
    Samples samples;
    for (int i = 0; i < kRuns; ++i) {
        MakeDesktop(box, shape);
        samples.seconds.push_back(TimeIt([&] {
            for (int f = 0; f < unpacked; ++f) RemoveTree(box.Desktop() + "/" + Numbered("Archive %05d", f));
        }));
    }
    PrintTime("floor (rm those folders), " + Label(shape), samples.Best(), "(best)");
    return samples.Best();
}

// --- The check of an unpacked folder ---

struct Unpacked {
    const char* label;
    int files;
    int folders;
    std::size_t fileSize;
};

// Bytes that do not compress, as photos and most large files do not.
using test::Noise;

// The folder Photos on the Desktop and the archive made of it by bsdtar
// (entries under the top folder Photos/, as most archivers make them);
// returns the folder's files.
std::vector<std::string> MakeUnpacked(const Sandbox& box, const Unpacked& shape, const std::string& archive) {
    box.Reset();
    const std::string top = box.Desktop() + "/Photos";
    MakeDir(top);
    for (int d = 0; d < shape.folders; ++d) MakeDir(top + "/" + Numbered("Album %03d", d));
    std::vector<std::string> files;
    for (int i = 0; i < shape.files; ++i) {
        // Consecutive files share an album, as a camera's would.
        const int album = static_cast<int>(static_cast<long>(i) * shape.folders / shape.files);
        files.push_back(top + "/" + Numbered("Album %03d", album) + "/" + Numbered("photo %05d.jpg", i));
        WriteFile(files.back(), Noise(shape.fileSize, static_cast<std::uint32_t>(i + 1)));
    }
    RunQuiet({"bsdtar", "-a", "-cf", box.Desktop() + "/" + archive, "-C", box.Desktop(), "Photos"});
    return files;
}

// Wall time and processor time (this process's for the check, the child's
// for a tool), each the median of kRuns after one warming run: every run
// reads from the page cache.
struct Cost {
    double wall = 0;
    double cpu = 0;
};

Cost MedianCost(const std::function<void()>& body) {
    body();
    Samples wall, cpu;
    for (int i = 0; i < kRuns; ++i) {
        const double cpuBefore = CpuSelf() + CpuChildren();
        wall.seconds.push_back(TimeIt(body));
        cpu.seconds.push_back(CpuSelf() + CpuChildren() - cpuBefore);
    }
    return {wall.Median(), cpu.Median()};
}

void PrintCost(const std::string& label, const Cost& cost, const std::string& note = "") {
    char cpu[64];
    std::snprintf(cpu, sizeof cpu, "(processor %.1f ms)%s%s", cost.cpu * 1e3, note.empty() ? "" : " ", note.c_str());
    PrintTime(label, cost.wall, cpu);
}

void MeasureCheck(const Sandbox& box, const Unpacked& shape, const std::string& archive) {
    const std::vector<std::string> files = MakeUnpacked(box, shape, archive);
    const std::string path = box.Desktop() + "/" + archive;
    const double mib = static_cast<double>(shape.fileSize) * shape.files / (1 << 20);
    const Cost check = MedianCost([&] {
        const fs::OpenFolder desktop = fs::OpenFolder::Open(box.Desktop());
        const UnpackedFolderVerdict verdict = CheckUnpackedFolder(desktop, archive, "Photos", [] { return false; });
        Check(verdict.Remove(), "the check kept the folder: " + verdict.Reason());
    });
    std::vector<std::string> cat{"cat"};
    cat.insert(cat.end(), files.begin(), files.end());
    const Cost readFolder = MedianCost([&] { RunQuiet(cat); });
    const Cost extract = MedianCost([&] { RunQuiet({"bsdtar", "-xOf", path}); });
    std::printf("   %s, %s (%s, %.0f MiB)\n", archive.c_str(), shape.label,
                Thousands(static_cast<std::uint64_t>(shape.files)).c_str(), mib);
    char note[64];
    // Large files show the cost of the bytes, small ones that of the entries.
    if (shape.fileSize >= (1u << 20))
        std::snprintf(note, sizeof note, "%.2f ms per MiB", check.wall * 1e3 / mib);
    else
        std::snprintf(note, sizeof note, "%.1f us per file", check.wall * 1e6 / shape.files);
    PrintCost("  check", check, note);
    PrintCost("  bsdtar -xOf (every entry unpacked to a pipe)", extract);
    PrintCost("  cat of the folder's files", readFolder);
    PrintCost("  bsdtar -tf (the listing alone)", MedianCost([&] { RunQuiet({"bsdtar", "-tf", path}); }));
    if (archive.ends_with(".zip"))
        PrintCost("  unzip -t (every entry unpacked and tested)",
                  MedianCost([&] { RunQuiet({"unzip", "-tqq", path}); }));
    const double wallFloor = extract.wall + readFolder.wall, cpuFloor = extract.cpu + readFolder.cpu;
    std::printf("   %-44s %10.2f x wall, %.2f x processor\n", "  ratio check / (bsdtar -xOf + cat)",
                wallFloor > 0 ? check.wall / wallFloor : 0.0, cpuFloor > 0 ? check.cpu / cpuFloor : 0.0);
}

}  // namespace

int main() {
    // In memory: the figure is about how the pass grows, and a disk's
    // deletions (with online discard, tens of milliseconds at a time) vary
    // more from run to run than the whole pass takes.
    Sandbox box(MemoryBase());
    PrintHeading("3. archives: ProcessCompressed on the Desktop (one file in ten a .zip; half the folders\n"
                 "   unpacked beside an archive, 3 files each); in " + box.Path().substr(0, box.Path().rfind('/')) +
                 (IsMemoryFileSystem(box.Path()) ? " (memory file system)" : ""));
    const Shape smallShape{1000, 200};
    const Shape largeShape{10000, 2000};
    const double small = MeasureEngine(box, smallShape);
    const double large = MeasureEngine(box, largeShape);
    std::printf("   %-44s %10.1f x   (linear growth: about 10 x)\n", "ratio large / small", small > 0 ? large / small : 0.0);
    const double smallFloor = MeasureRemoval(box, smallShape);
    const double largeFloor = MeasureRemoval(box, largeShape);
    std::printf("   %-44s %10.1f x\n", "ratio large / small, floor", smallFloor > 0 ? largeFloor / smallFloor : 0.0);
    std::printf("   %-44s %10.2f x\n", "ratio engine / floor, large Desktop", largeFloor > 0 ? large / largeFloor : 0.0);

    PrintHeading("3b. archives: an unpacked folder checked against its archive before it may go (listing,\n"
                 "   walk, every file compared byte for byte); incompressible files, warm cache");
    const Unpacked bigFiles{"large files of 4 MiB", 16, 4, 4u << 20};
    const Unpacked manyFiles{"small files of 1 KiB in 100 folders", 10000, 100, 1024};
    for (const char* archive : {"Photos.zip", "Photos.tar.gz"}) {
        MeasureCheck(box, bigFiles, archive);
        MeasureCheck(box, manyFiles, archive);
    }
    return 0;
}
