// Archive reconciliation: how ProcessCompressed grows with the Desktop. Two
// Desktops of the same make-up, one ten times the other; a pass that grows
// linearly takes about ten times as long on the larger one.

#include <algorithm>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench/BenchSupport.h"
#include "engine/cTidyfold.h"

using namespace tidyfold;
using namespace tidyfold::bench;

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
    for (int i = 0; i < shape.files; ++i) {
        const std::string name = i < archives ? Numbered("Archive %05d.zip", i) : Numbered("Note %05d.txt", i);
        WriteFile(box.Desktop() + "/" + name, content);
    }
    for (int i = 0; i < shape.folders; ++i) {
        const bool unpacked = i < shape.folders / 2;
        const std::string folder = box.Desktop() + "/" + Numbered(unpacked ? "Archive %05d" : "Folder %05d", i);
        MakeDir(folder);
        for (int f = 0; f < 3; ++f) WriteFile(folder + "/" + Numbered("part %d.txt", f), content);
    }
    // On a disk, the new tree's journal commit must not land inside a timed pass.
    if (!IsMemoryFileSystem(box.Root())) sync();
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

}  // namespace

int main() {
    // In memory: the figure is about how the pass grows, and a disk's
    // deletions (with online discard, tens of milliseconds at a time) vary
    // more from run to run than the whole pass takes.
    Sandbox box("archives", MemoryBase());
    PrintHeading("3. archives: ProcessCompressed on the Desktop (one file in ten a .zip; half the folders\n"
                 "   unpacked beside an archive, 3 files each); in " + box.Root().substr(0, box.Root().rfind('/')) +
                 (IsMemoryFileSystem(box.Root()) ? " (memory file system)" : ""));
    const Shape smallShape{1000, 200};
    const Shape largeShape{10000, 2000};
    const double small = MeasureEngine(box, smallShape);
    const double large = MeasureEngine(box, largeShape);
    std::printf("   %-44s %10.1f x   (linear growth: about 10 x)\n", "ratio large / small", small > 0 ? large / small : 0.0);
    const double smallFloor = MeasureRemoval(box, smallShape);
    const double largeFloor = MeasureRemoval(box, largeShape);
    std::printf("   %-44s %10.1f x\n", "ratio large / small, floor", smallFloor > 0 ? largeFloor / smallFloor : 0.0);
    std::printf("   %-44s %10.2f x\n", "ratio engine / floor, large Desktop", largeFloor > 0 ? large / largeFloor : 0.0);
    return 0;
}
