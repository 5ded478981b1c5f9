// Figures on the drives people offload to, each a file system made in an
// image below the benchmark folder and mounted on a loop device (root only;
// without it the figures say why they are missing):
//  7a. copy then delete (mode 0) of one 1 GiB file on btrfs, where the copy
//      is a reflink, against cp --reflink=auto and sync of the copy;
//  7b. 2,000 files moved (mode 1) from the Desktop onto an exFAT stick
//      mounted through exfat-fuse, against cp -r and rm -r.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "bench/BenchSupport.h"
#include "engine/cTidyfold.h"
#include "tests/support/DriveImage.h"

namespace tidyfold::bench {
namespace {

constexpr std::uint64_t kBigSize = 1ull << 30;
constexpr int kBigRuns = 3;
constexpr int kStickFiles = 2000;
constexpr int kStickFolders = 100;
constexpr std::size_t kStickFileSize = 4096;
constexpr int kStickRuns = 3;

std::optional<std::int32_t> CleanOld() {
    cTidyfold engine;
    engine.SetClock([] { return static_cast<std::int64_t>(test::kFarFuture); });
    return engine.Clean();
}

// The sandbox's settings with its Desktop and offload folder at these.
void Point(const Sandbox& box, int mode, const std::string& desktop, const std::string& offload) {
    cOptions options = box.Options(static_cast<TransferMode>(mode));
    options.OffloadPath(offload);
    box.WriteSettings(options);
    WriteFile(box.UserDirsFile(), "XDG_DESKTOP_DIR=\"" + desktop + "\"\n");
}

void WriteBigFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("create " + path + ": " + std::strerror(errno));
    std::vector<char> chunk(8 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 131 % 251);
    for (std::uint64_t done = 0; done < kBigSize; done += chunk.size())
        if (write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) Fail("write " + path);
    fsync(fd);
    close(fd);
}

void Link(const std::string& from, const std::string& to) {
    if (link(from.c_str(), to.c_str()) != 0) Fail("link " + to + ": " + std::strerror(errno));
}

void CheckCopied(const std::string& desktopFile, const std::string& copy) {
    struct stat st {};
    Check(lstat(copy.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) == kBigSize, "the copy is missing or short");
    Check(lstat(desktopFile.c_str(), &st) != 0, "the Desktop file was not deleted");
    unlink(copy.c_str());
    sync();
}

void ReflinkFigure() {
    PrintHeading("7a. mode 0 (copy then delete): one 1 GiB file on btrfs, the copy a reflink (best of " +
                 std::to_string(kBigRuns) + ")");
    test::DriveImage drive(test::DriveKind::Btrfs, BenchBase(), 3ull << 30);
    if (!drive.Mounted()) {
        std::printf("   not measured: %s\n", drive.Why().c_str());
        return;
    }
    Sandbox box;
    const std::string desktop = drive.Root() + "/Desktop";
    const std::string offload = drive.Root() + "/Offload";
    MakeDir(desktop);
    MakeDir(offload);
    Point(box, 0, desktop, offload);
    // A second name keeps the data between runs: each starts from the same
    // flushed extents, as a file that has been on the disk a while.
    const std::string master = drive.Root() + "/master.bin";
    WriteBigFile(master);
    const std::string desktopFile = desktop + "/big.bin";
    const std::string copy = offload + "/big.bin";
    Samples engine, reference;
    for (int i = 0; i < kBigRuns; ++i) {
        Link(master, desktopFile);
        std::optional<std::int32_t> copied;
        engine.seconds.push_back(TimeIt([&] { copied = CleanOld(); }));
        Check(copied == 1, "Clean did not collect the file");
        CheckCopied(desktopFile, copy);

        Link(master, desktopFile);
        reference.seconds.push_back(TimeIt([&] {
            RunQuiet({"cp", "--reflink=auto", desktopFile, copy});
            RunQuiet({"sync", copy});
            if (unlink(desktopFile.c_str()) != 0) Fail("unlink " + desktopFile);
        }));
        CheckCopied(desktopFile, copy);
    }
    PrintTime("engine Clean, mode 0", engine.Best(), "(best)");
    PrintTime("cp --reflink=auto, sync of the copy, rm", reference.Best(), "(best)");
    PrintRatio("Clean / cp --reflink + sync", engine.Best(), reference.Best(), 1.3);
}

// The Desktop's 2,000 files of 4 KiB in 100 folders, old enough to go.
void MakeStickDesktop(const std::string& desktop) {
    TreeShape shape;
    shape.files = kStickFiles;
    shape.folders = kStickFolders;
    shape.topLevelFiles = 0;
    shape.fileSize = kStickFileSize;
    MakeDir(desktop);
    MakeTree(desktop, PlanTree(shape), kStickFileSize);
}

void StickFigure() {
    PrintHeading("7b. mode 1 (move): " + Thousands(kStickFiles) + " files of 4 KiB in " +
                 std::to_string(kStickFolders) + " folders onto an exFAT stick (exfat-fuse; median of " +
                 std::to_string(kStickRuns) + ")");
    test::DriveImage drive(test::DriveKind::Exfat, BenchBase(), 512ull << 20);
    if (!drive.Mounted()) {
        std::printf("   not measured: %s\n", drive.Why().c_str());
        return;
    }
    Sandbox box;
    const std::string offload = drive.Root() + "/Offload";
    Point(box, 1, box.Desktop(), offload);
    Samples engine, reference, synced;
    for (int i = 0; i < kStickRuns; ++i) {
        RemoveTree(box.Desktop());
        MakeStickDesktop(box.Desktop());
        sync();
        std::optional<std::int32_t> moved;
        engine.seconds.push_back(TimeIt([&] { moved = CleanOld(); }));
        Check(moved == kStickFiles, "Clean did not collect every file");
        Check(CountFiles(offload) == kStickFiles, "not every file is on the stick");
        RemoveTree(offload);

        RemoveTree(box.Desktop());
        MakeStickDesktop(box.Desktop());
        sync();
        reference.seconds.push_back(TimeIt([&] {
            RunQuiet({"cp", "-r", box.Desktop(), offload});
            RunQuiet({"rm", "-r", box.Desktop()});
        }));
        Check(CountFiles(offload) == kStickFiles, "cp -r did not copy every file");
        RemoveTree(offload);

        MakeStickDesktop(box.Desktop());
        sync();
        synced.seconds.push_back(TimeIt([&] {
            RunQuiet({"cp", "-r", box.Desktop(), offload});
            RunQuiet({"sync", "-f", offload});
            RunQuiet({"rm", "-r", box.Desktop()});
        }));
        RemoveTree(offload);
    }
    PrintSamples("engine Clean, mode 1", engine);
    PrintSamples("cp -r, then rm -r", reference);
    PrintSamples("cp -r, sync -f of the stick, then rm -r", synced);
    // No target: the issue asks for the figure beside the floor a user
    // would compare with.
    std::printf("   ratio %-38s %10.2f x   (cp -r + sync: %.2f x)\n", "Clean / cp -r + rm -r (medians)",
                engine.Median() / reference.Median(), engine.Median() / synced.Median());
    std::printf("   (each file the engine moves is flushed to the stick before its original goes;\n"
                "    cp -r flushes nothing, so its files may still be only in memory when rm -r runs)\n");
}

}  // namespace
}  // namespace tidyfold::bench

// "bench_drives reflink" or "bench_drives stick": that figure alone.
int main(int argc, char** argv) {
    using namespace tidyfold::bench;
    const std::string only = argc > 1 ? argv[1] : "";
    std::string why;
    if (!tidyfold::test::PrivateMounts(why)) {
        PrintHeading("7. drives");
        std::printf("   not measured: %s\n", why.c_str());
        return 0;
    }
    if (only.empty() || only == "reflink")
        ReflinkFigure();
    if (only.empty() || only == "stick")
        StickFigure();
    return 0;
}
