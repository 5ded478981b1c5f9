// Real passes on real drives: ext4, btrfs (with a subvolume), xfs, and the
// formats of USB sticks, SD cards and disks shared with Windows, mounted as
// Debian mounts them: exFAT through exfat-fuse, NTFS through ntfs-3g (with
// windows_names, as desktops mount it), FAT32 through fusefat. Each drive is
// a small image on a loop device, in a mount namespace of the test's own.
// Copy and move into the drive and Undo, a Desktop on the drive moved within
// it and sent to its Trash, what the drive cannot hold told ahead and left on
// the Desktop with its reason, names that differ only in case, times in the
// drive's steps, an identity a FUSE driver makes up, btrfs subvolumes and
// reflinks. A drive that cannot be mounted here is skipped with the reason.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <set>

#include "base/Error.h"
#include "engine/Plan.h"
#include "engine/cTidyfold.h"
#include "fs/Drive.h"
#include "fs/Fault.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "history/Restore.h"
#include "tests/reliability/LossCheck.h"
#include "tests/reliability/PassCheck.h"
#include "tests/support/DriveImage.h"

namespace tidyfold::reliability {
namespace {

using test::DriveImage;
using test::DriveKind;
using test::Exists;
using test::MakeDirs;
using test::ReadFile;
using test::WriteFile;

// What each kind of drive does with the Desktop below.
struct DriveCase {
    DriveKind kind;
    bool caseInsensitive;
    bool links;
    bool windowsNames;       // refuses ':' and a name ending in a dot
    bool windowsNamesAhead;  // and that is known before anything moves
    std::int64_t step;       // of its modification times, ns
};

constexpr std::int64_t kSecond = 1'000'000'000;
// The Desktop's files were last modified then: an odd second, and
// nanoseconds, for a drive of 2 s steps to round.
constexpr timespec kOldTime = {1'600'000'001, 123'456'789};
constexpr std::int64_t kOld = 1'600'000'001LL * kSecond + 123'456'789;

std::string LinkText(const std::string& path) {
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

const std::vector<DriveCase>& Cases() {
    static const std::vector<DriveCase> cases = {
        {DriveKind::Ext4, false, true, false, false, 1},
        {DriveKind::Btrfs, false, true, false, false, 1},
        {DriveKind::Xfs, false, true, false, false, 1},
        {DriveKind::Exfat, true, false, true, true, 2 * kSecond},
        {DriveKind::Ntfs, false, true, true, false, 100},
        {DriveKind::Fat32, true, false, true, true, 2 * kSecond},
    };
    return cases;
}

std::string Bytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string text(size, '\0');
    for (char& c : text)
        c = static_cast<char>(rng());
    return text;
}

std::int64_t MtimeOf(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * kSecond + st.st_mtim.tv_nsec;
}

// Files of the Desktop, some that every drive holds and some that only some
// do, all with kOldTime.
const std::map<std::string, std::string>& Files() {
    static const std::map<std::string, std::string> files = {
        {"a.txt", Bytes(1000, 1)},           {"sub/deep/b.bin", Bytes(70000, 2)},
        {"Report.txt", "upper case"},        {"report.txt", "lower case"},
        {"x:y.txt", "a colon"},              {"notes.", "a trailing dot"},
        {"c:d/e.txt", "in a folder with a colon"},
    };
    return files;
}

void MakeDesktop(const std::string& desktop) {
    const timespec old[2] = {kOldTime, kOldTime};
    for (const auto& [name, bytes] : Files()) {
        WriteFile(desktop + "/" + name, bytes);
        utimensat(AT_FDCWD, (desktop + "/" + name).c_str(), old, 0);
    }
    ASSERT_EQ(symlink("a.txt", (desktop + "/ln").c_str()), 0);
    utimensat(AT_FDCWD, (desktop + "/ln").c_str(), old, AT_SYMLINK_NOFOLLOW);
}

// The names that stay on the Desktop on drive c, and part of the reason.
std::map<std::string, std::string> Staying(const DriveCase& c) {
    std::map<std::string, std::string> stay;
    if (c.windowsNames) {
        stay["x:y.txt"] = "cannot store ':' in a name";
        stay["notes."] = "ends in a dot or a blank";
        stay["c:d/e.txt"] = "cannot store ':' in a name (the folder \"c:d\" on its way)";
    }
    if (!c.links)
        stay["ln"] = "cannot store links";
    return stay;
}

// Each test mounts its drive afresh (a few tenths of a second), so that no
// test sees what another left on it.
void PrintTo(const DriveCase& c, std::ostream* out) { *out << test::DriveName(c.kind); }

// Whether every extent of the file at path is shared with another file
// (FIEMAP_EXTENT_SHARED): a reflinked copy's are.
bool AllExtentsShared(const std::string& path, std::string& why) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = "cannot open " + path;
        return false;
    }
    constexpr unsigned kExtents = 64;
    std::vector<char> buffer(sizeof(fiemap) + kExtents * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = kExtents;
    const int result = ioctl(fd, FS_IOC_FIEMAP, map);
    close(fd);
    if (result != 0 || map->fm_mapped_extents == 0) {
        why = "FIEMAP gave no extents";
        return false;
    }
    for (unsigned i = 0; i < map->fm_mapped_extents; ++i)
        if ((map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED) == 0) {
            why = "extent " + std::to_string(i) + " of " + std::to_string(map->fm_mapped_extents) + " is not shared";
            return false;
        }
    return true;
}

class Drives : public ::testing::TestWithParam<DriveCase> {
protected:
    static void SetUpTestSuite() {
        static bool entered = false;
        if (!entered)
            entered = test::PrivateMounts(why_);
    }
    void SetUp() override {
        fs::fault::Reset();
        if (!why_.empty())
            GTEST_SKIP() << why_;
        drive_ = std::make_unique<DriveImage>(GetParam().kind, "/tmp");
        if (!drive_->Mounted())
            GTEST_SKIP() << test::DriveName(GetParam().kind) << ": " << drive_->Why();
    }
    void TearDown() override {
        fs::fault::Reset();
        drive_.reset();
    }
    const std::string& Root() const { return drive_->Root(); }

    // The settings of the sandbox with the offload folder at offload and
    // the Desktop at desktop.
    void Point(Sandbox& box, int mode, const std::string& desktop, const std::string& offload) {
        cOptions options = box.Options(static_cast<TransferMode>(mode));
        options.OffloadPath(offload);
        box.WriteSettings(options);
        WriteFile(box.UserDirsFile(), "XDG_DESKTOP_DIR=\"" + desktop + "\"\n");
    }

    // One Clean Desktop recorded in the history, as the window runs it.
    std::string Clean() {
        cTidyfold engine;
        engine.SetClock([] { return static_cast<std::int64_t>(test::kFarFuture); });
        auto history = history::History::OpenDefault();
        const auto pass = history->Begin({history::PassKind::CleanDesktop, std::nullopt, "", "", 0});
        engine.Journal(pass.get());
        engine.Clean();
        pass->End(history::PassEnding::Completed);
        return engine.Log();
    }

    history::RestoreResult UndoLast() {
        auto history = history::History::OpenDefault();
        for (const history::PassRecord& pass : history->Passes())
            if (pass.kind == history::PassKind::CleanDesktop)
                return history::Restore(*history, pass.id);
        ADD_FAILURE() << "no pass to undo";
        return {};
    }

    CleanPlan Plan() {
        cTidyfold engine;
        engine.SetClock([] { return static_cast<std::int64_t>(test::kFarFuture); });
        return engine.PlanClean();
    }

    static std::string why_;
    std::unique_ptr<DriveImage> drive_;
};

std::string Drives::why_;

// Where name went in the offload folder: its own name, or, on a drive that
// folds case, the numbered name it took beside its twin.
std::string Arrived(const std::string& offload, const std::string& name, const std::string& bytes) {
    const std::size_t dot = name.rfind('.');
    for (const std::string& candidate : {name, name.substr(0, dot) + " (2)" + name.substr(dot)})
        if (Exists(offload + "/" + candidate) && ReadFile(offload + "/" + candidate) == bytes)
            return candidate;
    return {};
}

// Copy then delete and move into the drive: what it holds arrives intact
// with its time as the drive keeps it, both names that differ in case
// arrive, what it cannot hold is told in the Preview and stays with the
// reason; Undo puts back every file that went.
TEST_P(Drives, copy_and_move_onto_the_drive_and_undo) {
    const DriveCase& c = GetParam();
    {
        for (const int mode : {0, 1}) {
            SCOPED_TRACE(mode);
            Sandbox box;
            const std::string offload = Root() + "/Offload " + std::to_string(mode);
            Point(box, mode, box.Desktop(), offload);
            MakeDesktop(box.Desktop());
            const std::map<std::string, std::string> stay = Staying(c);

            std::set<std::string> told;
            for (const PlanEntry& entry : Plan().entries)
                if (entry.unfit)
                    told.insert(entry.relative);
            std::set<std::string> ahead;
            for (const auto& [name, why] : stay)
                if (name == "ln" || c.windowsNamesAhead)  // ntfs-3g does not show windows_names
                    ahead.insert(name);
            EXPECT_EQ(told, ahead);

            const std::string log = Clean();
            for (const auto& [name, bytes] : Files()) {
                if (stay.count(name) != 0) {
                    EXPECT_EQ(ReadFile(box.Desktop() + "/" + name), bytes) << name;
                    EXPECT_NE(log.find(name + " FAILED.\r\n"), std::string::npos) << log;
                    EXPECT_NE(log.find(stay.at(name)), std::string::npos) << log;
                    continue;
                }
                const std::string placed = Arrived(offload, name, bytes);
                EXPECT_FALSE(placed.empty()) << name << "\n" << log;
                EXPECT_FALSE(Exists(box.Desktop() + "/" + name)) << name;
                if (!placed.empty()) {
                    EXPECT_TRUE(fs::SameStoredTime(MtimeOf(offload + "/" + placed), kOld, c.step)) << placed;
                }
            }
            // On a drive that folds case, the second of the two takes a number.
            const bool numbered = Arrived(offload, "report.txt", "lower case") == "report (2).txt" ||
                                  Arrived(offload, "Report.txt", "upper case") == "Report (2).txt";
            EXPECT_EQ(numbered, c.caseInsensitive);

            const history::RestoreResult undone = UndoLast();
            EXPECT_EQ(undone.failed + undone.missing + undone.taken, 0);
            for (const auto& [name, bytes] : Files()) {
                EXPECT_EQ(ReadFile(box.Desktop() + "/" + name), bytes) << name;
                EXPECT_TRUE(fs::SameStoredTime(MtimeOf(box.Desktop() + "/" + name), kOld, c.step)) << name;
            }
            EXPECT_EQ(LinkText(box.Desktop() + "/ln"), "a.txt");
            for (const auto& [path, entry] : DataEntries(ScanIfPresent(offload)))
                ADD_FAILURE() << "left in the offload folder after Undo: " << Printable(path);
        }
    }
}

// What a Desktop kept on the drive itself holds: only what the drive can.
std::map<std::string, std::string> FilesOnTheDrive() {
    std::map<std::string, std::string> files = Files();
    files.erase("x:y.txt");
    files.erase("notes.");
    files.erase("c:d/e.txt");
    files.erase("report.txt");
    return files;
}

void MakeDesktopOnTheDrive(const std::string& desktop, const DriveCase& c) {
    const timespec old[2] = {kOldTime, kOldTime};
    for (const auto& [name, bytes] : FilesOnTheDrive()) {
        WriteFile(desktop + "/" + name, bytes);
        utimensat(AT_FDCWD, (desktop + "/" + name).c_str(), old, 0);
    }
    if (c.links) {
        ASSERT_EQ(symlink("a.txt", (desktop + "/ln").c_str()), 0);
    }
}

// A Desktop kept on the drive: moved within it (one rename each, over a
// claim where the drive has neither a no-replace rename nor hard links)
// and back by Undo; copied off it onto the computer's disk, where its files
// are removed only once their copies hold the same bytes; sent to the
// drive's own Trash, where a file manager finds them with their places.
TEST_P(Drives, a_desktop_on_the_drive_moved_within_it_copied_off_it_and_trashed) {
    const DriveCase& c = GetParam();
    const std::string desktop = Root() + "/Desktop";
    const std::map<std::string, std::string> files = FilesOnTheDrive();
    {
        Sandbox box;
        const std::string offload = Root() + "/Offload";
        Point(box, 1, desktop, offload);
        MakeDesktopOnTheDrive(desktop, c);
        const std::string log = Clean();
        for (const auto& [name, bytes] : files) {
            EXPECT_EQ(ReadFile(offload + "/" + name), bytes) << name << "\n" << log;
            EXPECT_TRUE(fs::SameStoredTime(MtimeOf(offload + "/" + name), kOld, c.step)) << name;
        }
        EXPECT_TRUE(DataEntries(Scan(desktop)).empty()) << log;
        const history::RestoreResult undone = UndoLast();
        // Every file and link, and the folders the pass emptied and removed.
        std::int64_t moved = 0;
        for (const ReportEntry& entry : undone.entries)
            moved += entry.undid == JournalAction::Move && entry.outcome == JournalOutcome::Done ? 1 : 0;
        EXPECT_EQ(moved, static_cast<std::int64_t>(files.size() + (c.links ? 1 : 0)));
        for (const auto& [name, bytes] : files) {
            EXPECT_EQ(ReadFile(desktop + "/" + name), bytes) << name;
        }
        EXPECT_TRUE(DataEntries(Scan(offload)).empty());
    }
    {
        Sandbox box;
        Point(box, 0, desktop, box.Offload());
        const std::string log = Clean();
        for (const auto& [name, bytes] : files)
            EXPECT_EQ(ReadFile(box.Offload() + "/" + name), bytes) << name << "\n" << log;
        EXPECT_TRUE(DataEntries(Scan(desktop)).empty()) << log;
        UndoLast();
        for (const auto& [name, bytes] : files) {
            EXPECT_EQ(ReadFile(desktop + "/" + name), bytes) << name;
        }
    }
    {
        Sandbox box;
        Point(box, 3, desktop, box.Offload());
        const std::string log = Clean();
        const std::string trash = Root() + "/.Trash-" + std::to_string(geteuid());
        const Snapshot restored = TrashAsRestored(trash, desktop);
        for (const auto& [name, bytes] : files) {
            EXPECT_EQ(ReadFile(trash + "/files/" + BaseName(name)), bytes) << name << "\n" << log;
            EXPECT_EQ(restored.count(name), 1u) << name;
        }
        EXPECT_TRUE(DataEntries(Scan(desktop)).empty()) << log;
    }
}

// A file written to in place while its copy is flushed, with its times set
// back afterwards (as an unpacker or a sync tool does): on a drive whose
// driver makes up inode numbers and takes a set modification time as the
// change time (exfat-fuse, fusefat), number, size and times all stay as the
// copy read them, and only the bytes tell. The newer version stays on the
// Desktop; the offload folder keeps the one that was copied.
TEST_P(Drives, a_file_rewritten_with_its_times_set_back_while_copied_stays) {
    const std::string desktop = Root() + "/Desktop";
    Sandbox box;
    Point(box, 0, desktop, box.Offload());
    MakeDirs(box.Offload());
    const std::string original(5000, 'o');
    const std::string newer(5000, 'n');
    WriteFile(desktop + "/a.txt", original);
    const timespec old[2] = {kOldTime, kOldTime};
    utimensat(AT_FDCWD, (desktop + "/a.txt").c_str(), old, 0);
    // When the copy's times are set: its bytes are read by then.
    fs::fault::InjectAction(fs::fault::Call::Utimens, 1, [&] {
        const int fd = open((desktop + "/a.txt").c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(pwrite(fd, newer.data(), newer.size(), 0), static_cast<ssize_t>(newer.size()));
        ASSERT_EQ(futimens(fd, old), 0);
        close(fd);
    });
    const std::string log = Clean();
    EXPECT_EQ(ReadFile(desktop + "/a.txt"), newer) << log;
    EXPECT_NE(log.find("It changed"), std::string::npos) << log;
    if (Exists(box.Offload() + "/a.txt")) {
        EXPECT_EQ(ReadFile(box.Offload() + "/a.txt"), original);
    }
}

// Tests of one or two kinds of drive: each mounted in turn; the test skips
// (with the reasons) when none could be.
class OneDrive : public Drives {
protected:
    void SetUp() override {
        fs::fault::Reset();
        if (!why_.empty())
            GTEST_SKIP() << why_;
    }
    void TearDown() override {
        Drives::TearDown();
        if (tried_ > 0 && mounted_ == 0)
            GTEST_SKIP() << skipped_;
    }
    bool Mount(DriveKind kind) {
        ++tried_;
        drive_ = std::make_unique<DriveImage>(kind, "/tmp");
        if (drive_->Mounted())
            return ++mounted_ > 0;
        skipped_ += std::string(test::DriveName(kind)) + ": " + drive_->Why() + "; ";
        std::printf("skipped %s\n", skipped_.c_str());
        return false;
    }
    int tried_ = 0;
    int mounted_ = 0;
    std::string skipped_;
};

// On btrfs and xfs a copy is a reflink: copy_file_range shares the
// original's extents instead of writing the bytes again. On btrfs a
// subvolume below the Desktop is a file system of its own to a rename, so a
// move out of it copies (sharing extents still) and then removes.
TEST_F(OneDrive, btrfs_and_xfs_copies_share_extents_and_a_subvolume_is_crossed_by_a_copy) {
  for (const DriveKind kind : {DriveKind::Btrfs, DriveKind::Xfs}) {
    SCOPED_TRACE(test::DriveName(kind));
    if (!Mount(kind))
        continue;
    const DriveCase c{kind, false, true, false, false, 1};
    const std::string desktop = Root() + "/Desktop";
    Sandbox box;
    const std::string offload = Root() + "/Offload";
    const std::string big = Bytes(3 << 20, 7);
    WriteFile(desktop + "/big.bin", big);
    // A second name keeps the original's extents once the pass removed the
    // Desktop's: the copy must share them still.
    ASSERT_EQ(link((desktop + "/big.bin").c_str(), (Root() + "/kept.bin").c_str()), 0);
    std::string output;
    if (c.kind == DriveKind::Btrfs) {
        ASSERT_EQ(test::RunProgram("btrfs", {"-q", "subvolume", "create", desktop + "/vol"}, &output), 0) << output;
        WriteFile(desktop + "/vol/inside.txt", "in a subvolume");
        struct stat top {}, vol {};
        stat(desktop.c_str(), &top);
        stat((desktop + "/vol").c_str(), &vol);
        ASSERT_NE(top.st_dev, vol.st_dev);
    }
    Point(box, 0, desktop, offload);
    std::string log = Clean();
    ASSERT_EQ(ReadFile(offload + "/big.bin"), big) << log;
    std::string why;
    EXPECT_TRUE(AllExtentsShared(offload + "/big.bin", why)) << why;
    UndoLast();
    Point(box, 1, desktop, offload);
    log = Clean();
    if (c.kind == DriveKind::Btrfs) {
        EXPECT_EQ(ReadFile(offload + "/vol/inside.txt"), "in a subvolume") << log;
        EXPECT_FALSE(Exists(desktop + "/vol/inside.txt")) << log;
        UndoLast();
        EXPECT_EQ(ReadFile(desktop + "/vol/inside.txt"), "in a subvolume");
        // A subvolume is no mount of its own: file managers keep no Trash
        // on it, so its file stays; the one beside it goes to the drive's.
        // (The pass removed the emptied subvolume; Undo made a folder.)
        ASSERT_EQ(test::RunProgram("btrfs", {"-q", "subvolume", "create", desktop + "/vol2"}, &output), 0) << output;
        WriteFile(desktop + "/vol2/inside.txt", "in a subvolume");
        Point(box, 3, desktop, offload);
        log = Clean();
        EXPECT_TRUE(Exists(desktop + "/vol2/inside.txt")) << log;
        EXPECT_NE(log.find("vol2/inside.txt to the Trash FAILED.\r\nFile managers keep no Trash on its drive"),
                  std::string::npos)
            << log;
        EXPECT_FALSE(Exists(desktop + "/big.bin")) << log;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Drives, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<DriveCase>& param) {
                             return std::string(test::DriveName(param.param.kind));
                         });

// FAT32 holds no file of 4 GiB or more: a pass says so before it copies a
// byte (a sparse file here, so nothing is read), and the Preview says so
// too. Anywhere else, a drive that answers "File too large" mid-copy gets
// its words in the log, and the file stays.
TEST(DriveLimits, a_file_too_large_for_the_drive_stays_with_the_reason) {
    std::string why;
    static bool entered = false;
    if (!entered && !(entered = test::PrivateMounts(why)))
        GTEST_SKIP() << why;
    {
        DriveImage drive(DriveKind::Fat32, "/tmp");
        if (!drive.Mounted())
            GTEST_SKIP() << "FAT32: " << drive.Why();
        Sandbox box;
        cOptions options = box.Options(TransferMode::Move);
        options.OffloadPath(drive.Root() + "/Offload");
        box.WriteSettings(options);
        const std::string huge = box.Desktop() + "/huge.iso";
        WriteFile(huge, "");
        ASSERT_EQ(truncate(huge.c_str(), 4ll << 30), 0);
        cTidyfold planner;
        planner.SetClock([] { return static_cast<std::int64_t>(test::kFarFuture); });
        const CleanPlan plan = planner.PlanClean();
        ASSERT_EQ(plan.entries.size(), 1u);
        EXPECT_EQ(plan.entries[0].unfit.why, fs::Unfit::Why::Size);
        const PassOutcome outcome = RunPass(box, false);
        EXPECT_NE(outcome.log.find("Move of " + huge + " FAILED.\r\nFiles of 4 GiB or more do not fit on this drive, so "
                                   "it stays on the Desktop."),
                  std::string::npos)
            << outcome.log;
        struct stat st {};
        EXPECT_EQ(stat(huge.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 4ll << 30);
        EXPECT_TRUE(DataEntries(ScanIfPresent(drive.Root() + "/Offload")).empty());
    }
    Sandbox box;
    box.WriteSettings(0);
    WriteFile(box.Desktop() + "/f.bin", Bytes(10000, 3));
    fs::fault::Reset();
    fs::fault::Inject(fs::fault::Call::CopyFileRange, EFBIG);
    const PassOutcome outcome = RunPass(box, false);
    fs::fault::Reset();
    EXPECT_NE(outcome.log.find("File copy of " + box.Desktop() + "/f.bin FAILED.\r\nThe file is too large for the drive, "
                               "so it stays on the Desktop."),
              std::string::npos)
        << outcome.log;
    EXPECT_EQ(ReadFile(box.Desktop() + "/f.bin"), Bytes(10000, 3));
    EXPECT_TRUE(DataEntries(ScanIfPresent(box.Offload())).empty());
}

}  // namespace
}  // namespace tidyfold::reliability
