// Fault injection: every kind of system call of the file layer fails in turn,
// at each of its uses in a pass (sampled when there are many) and with each
// of ENOSPC, EIO, EACCES, EXDEV, ENOENT and EROFS (sampled per use; reads and
// copies also end early, as a file system answering 0 too soon), during
// ProcessCompressed and a Clean pass that ends with CleanUpFolders. Each run
// must end through a failure channel (an error, or log lines with the pass
// going on), lose nothing, keep its log truthful, and leave a tree that an
// undisturbed second pass finishes.
//
// TIDYFOLD_FAULT_POSITIONS caps the uses tried per call (30 by default, 12
// in the sanitizer build); TIDYFOLD_FAULT_ERRNOS is how many of the six
// errnos each use gets (3 by default, rotating so every errno meets every
// call; 6 tries them all).

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <string>

#include "fs/Fault.h"
#include "tests/reliability/HistoryCheck.h"
#include "tests/reliability/PassCheck.h"
#include "tests/reliability/LossCheck.h"
#include "tests/support/RecentRecord.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::reliability {
namespace {

using fs::fault::Call;

constexpr int kErrnos[] = {ENOSPC, EIO, EACCES, EXDEV, ENOENT, EROFS};

#ifdef TIDYFOLD_SANITIZED
constexpr int kDefaultPositions = 12;
#else
constexpr int kDefaultPositions = 30;
#endif

int EnvInt(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

bool Usable(const std::string& folder) { return access(folder.c_str(), W_OK) == 0; }
std::string Tmpfs() { return Usable("/dev/shm") ? "/dev/shm" : "/tmp"; }

std::string Bytes(std::size_t size, unsigned seed) {
    std::string data(size, '\0');
    unsigned value = seed;
    for (char& c : data) {
        value = value * 1103515245u + 12345u;
        c = static_cast<char>(value >> 16);
    }
    return data;
}

// A small Desktop with something for every step: top-level and nested files,
// a hidden file, a link, an archive beside its unpacked folder, a file large
// enough to take several chunks, an empty folder, odd names. No empty file
// and nothing read-only: an undisturbed pass ends normally in every mode.
void BuildFaultTree(const Sandbox& box) {
    const std::string d = box.Desktop();
    test::WriteFile(d + "/top1.txt", Bytes(1000, 1));
    test::WriteFile(d + "/top two.doc", Bytes(5000, 2));
    test::WriteFile(d + "/.hidden", Bytes(300, 3));
    test::WriteFile(d + "/Photos/a.jpg", Bytes(100, 5));
    test::WriteFile(d + "/Photos/inner/b.jpg", Bytes(100, 6));
    test::WriteArchive(d + "/Photos.zip", test::ArchiveFormat::Zip,
                       {{"a.jpg", Bytes(100, 5)}, {"inner/b.jpg", Bytes(100, 6)}});
    test::WriteFile(d + "/sub/a.txt", Bytes(64 * 1024, 7));
    test::WriteFile(d + "/sub/deeper/big.bin", Bytes(1536 * 1024 + 77, 8));
    test::WriteFile(d + "/sub/back\\slash \xff.txt", Bytes(10, 9));
    test::WriteFile(d + "/sub2/only/x.txt", Bytes(1, 10));
    test::MakeDirs(d + "/empty/inner");
    if (symlink("top1.txt", (d + "/link").c_str()) != 0)
        throw std::runtime_error("symlink");
    box.WriteArchiveList("zip,rar,");
    // The desktop's record of opened files names two of them, opened long
    // ago: its reading is faulted too, and must never keep or lose a file.
    const std::int64_t longAgo = static_cast<std::int64_t>(std::time(nullptr)) - 30LL * 86400;
    test::RecentRecord()
        .OpenedIn(d + "/top1.txt", "Editor", longAgo)
        .OpenedIn(d + "/sub/a.txt", "Viewer", longAgo)
        .Write(box.RecentFilesFile());
    // Without user-dirs.dirs the Desktop lookup reads nothing, so every fault
    // injected here lands in the pass itself; a failed read of that file has
    // its own tests with the special folders.
    box.RemoveUserDirs();
}

bool InArchiveFolder(const std::string& rel) { return rel.rfind("Photos/", 0) == 0; }

struct PassSetup {
    const char* label;
    int mode;
    std::string base;
    std::string offloadBase;
    // Earlier versions of some files already in the offload folder: their
    // transfers claim numbered names, and the claim is faulted too.
    bool clashes = false;

    // Recorded in the history; the faults are then those of the history's
    // own writes.
    bool recorded = false;
};

// What earlier passes left in the offload folder, under the names three of
// the Desktop's files will want.
void PutEarlierVersions(const Sandbox& box) {
    test::WriteFile(box.Offload() + "/top1.txt", Bytes(900, 31));
    test::WriteFile(box.Offload() + "/sub/a.txt", Bytes(500, 32));
    test::WriteFile(box.Offload() + "/sub/a (2).txt", Bytes(400, 33));
    test::WriteFile(box.Offload() + "/.hidden", Bytes(30, 34));
}

bool HistoryCall(Call call) {
    return call == Call::HistoryOpen || call == Call::HistoryWrite || call == Call::HistorySync ||
           call == Call::HistoryTruncate;
}

const char* ErrnoName(int errnum) {
    return errnum == fs::fault::kEndOfData ? "an early end of data" : strerrorname_np(errnum);
}

// The errnos tried at the index-th sampled use of call. Reads and copies
// also end early at each use: a file system answering "no more data" before
// the end of the file.
std::vector<int> ErrnosFor(int call, int index, int last, int perUse) {
    std::vector<int> chosen;
    if (call == static_cast<int>(Call::Read) || call == static_cast<int>(Call::CopyFileRange))
        chosen.push_back(fs::fault::kEndOfData);
    if (perUse >= 6 || index == 0 || index == last) {
        chosen.insert(chosen.end(), std::begin(kErrnos), std::end(kErrnos));
        return chosen;
    }
    for (int k = 0; k < perUse; ++k)
        chosen.push_back(kErrnos[(call + index * perUse + k) % 6]);
    return chosen;
}

std::vector<long> Positions(long uses, int cap) {
    std::vector<long> positions;
    if (uses <= cap) {
        for (long n = 1; n <= uses; ++n)
            positions.push_back(n);
        return positions;
    }
    std::set<long> spread;
    for (int i = 0; i < cap; ++i)
        spread.insert(1 + (uses - 1) * i / (cap - 1));
    return {spread.begin(), spread.end()};
}

class FaultInjection : public ::testing::Test {
protected:
    void TearDown() override { fs::fault::Reset(); }

    Judgement JudgementFor(int mode, bool enoent) {
        Judgement judgement;
        judgement.originals = &originals_;
        judgement.mode = mode;
        judgement.mayVanish = [mode](const std::string& rel) { return mode == 2 || InArchiveFolder(rel); };
        judgement.silentLeftoversAllowed = enoent;
        judgement.earlier = &earlier_;
        return judgement;
    }

    // Uses of every call in an undisturbed pass.
    std::map<Call, long> CleanRun(const PassSetup& setup) {
        Sandbox box(setup.base, setup.offloadBase);
        BuildFaultTree(box);
        box.WriteSettings(setup.mode);
        originals_ = DataEntries(Scan(box.Desktop()));
        if (setup.clashes)
            PutEarlierVersions(box);
        earlier_ = DataEntries(ScanIfPresent(box.Offload()));
        fs::fault::Reset();
        PassOutcome outcome = RunPass(box, true, setup.recorded);
        std::map<Call, long> uses;
        for (int c = 0; c < static_cast<int>(Call::Count_); ++c)
            uses[static_cast<Call>(c)] = fs::fault::Uses(static_cast<Call>(c));
        fs::fault::Reset();
        std::vector<std::string> problems = JudgeFinished(box, outcome, JudgementFor(setup.mode, false));
        EXPECT_TRUE(problems.empty()) << setup.label << ", no fault:\n" << Report(problems);
        return uses;
    }

    // One run with one fault, the checks, a second pass and its checks.
    void FaultRun(const PassSetup& setup, Call call, long nth, int errnum) {
        Sandbox box(setup.base, setup.offloadBase);
        BuildFaultTree(box);
        box.WriteSettings(setup.mode);
        if (setup.clashes)
            PutEarlierVersions(box);
        fs::fault::Reset();
        fs::fault::Inject(call, errnum, static_cast<int>(nth));
        PassOutcome outcome = RunPass(box, true, setup.recorded);
        const bool fired = fs::fault::Uses(call) >= nth;
        fs::fault::Reset();

        const std::string where = std::string(setup.label) + ", " + std::string(fs::fault::Name(call)) + " use " +
                                  std::to_string(nth) + " fails with " + ErrnoName(errnum);
        std::vector<std::string> problems = JudgePass(box, outcome, JudgementFor(setup.mode, errnum == ENOENT));
        // Data calls of a copy have no harmless failure: one that fired must
        // show, as an error or a failure line. Exceptions: EXDEV of
        // copy_file_range only means "copy it another way", ENOENT, which
        // these calls never really give, reads as "the file has gone", and an
        // early end of data at the real end changes nothing (one that cuts a
        // file short shows above as a damaged or lost file).
        const bool dataCall = errnum != ENOENT && errnum != fs::fault::kEndOfData &&
                              (call == Call::Read || call == Call::Write || call == Call::Fsync ||
                               (call == Call::CopyFileRange && errnum != EXDEV));
        // A read of the archive that fails keeps its unpacked folder, and
        // the log says so.
        const bool visible = outcome.threw || outcome.log.find("FAILED.") != std::string::npos ||
                             outcome.log.find("Could not") != std::string::npos ||
                             outcome.log.find("Kept folder") != std::string::npos;
        if (fired && dataCall && !visible)
            problems.push_back("the failure vanished: the pass reported nothing");
        if (setup.recorded) {
            // A history that cannot be written stops the pass: nothing is
            // done that it does not know about.
            // (When its connection closes the history copies its log into
            // the database and truncates the log; a failure there leaves the
            // log in place, which the next opening reads: harmless.)
            const bool duringPass = nth <= outcome.usesAtEnd[call];
            if (fired && duringPass && HistoryCall(call) && !outcome.threw)
                problems.push_back("the pass went on past a failed write of the history");
            const std::vector<std::string> agreement = CheckHistory(box);
            problems.insert(problems.end(), agreement.begin(), agreement.end());
        }
        ++runs_;
        fired_ += fired ? 1 : 0;
        threw_ += outcome.threw ? 1 : 0;
        logged_ += (!outcome.threw && visible) ? 1 : 0;
        if (fired && !visible)
            ++absorbed_[std::string(fs::fault::Name(call)) + "/" + ErrnoName(errnum)];
        if (!problems.empty()) {
            ++failures_;
            ADD_FAILURE() << where << (outcome.threw ? " (ended with " + outcome.what + ")" : "") << ":\n"
                          << Report(problems) << "log:\n" << outcome.log;
            return;
        }
        PassOutcome second = RunPass(box, true, setup.recorded);
        problems = JudgeFinished(box, second, JudgementFor(setup.mode, false));
        if (!problems.empty() && ++failures_ > 0)
            ADD_FAILURE() << where << ", then an undisturbed pass:\n" << Report(problems) << "log:\n" << second.log;
    }

    void Run(const PassSetup& setup) {
        const int cap = EnvInt("TIDYFOLD_FAULT_POSITIONS", kDefaultPositions);
        const int perUse = EnvInt("TIDYFOLD_FAULT_ERRNOS", 3);
        std::map<Call, long> uses = CleanRun(setup);
        ASSERT_FALSE(HasFailure());
        int sites = 0;
        for (const auto& [call, count] : uses) {
            if (setup.recorded != HistoryCall(call))
                continue;
            std::vector<long> positions = Positions(count, cap);
            sites += static_cast<int>(positions.size());
            for (std::size_t i = 0; i < positions.size(); ++i) {
                for (int errnum : ErrnosFor(static_cast<int>(call), static_cast<int>(i),
                                            static_cast<int>(positions.size()) - 1, perUse)) {
                    FaultRun(setup, call, positions[i], errnum);
                    if (failures_ >= 10)
                        GTEST_FAIL() << "stopping after 10 failed runs";
                }
            }
        }
        std::printf("%s: %d call sites (%zu kinds of call used), %d runs: %d faults fired, %d ended with an "
                    "error, %d went on with log lines\n",
                    setup.label, sites, static_cast<std::size_t>(std::count_if(uses.begin(), uses.end(),
                        [](const auto& u) { return u.second > 0; })),
                    runs_, fired_, threw_, logged_);
        std::string quiet;
        for (const auto& [what, count] : absorbed_)
            quiet += " " + what + "x" + std::to_string(count);
        std::printf("  absorbed without a trace (harmless or retried):%s\n", quiet.c_str());
        RecordProperty("runs", runs_);
    }

    Snapshot originals_;
    Snapshot earlier_;
    int runs_ = 0, fired_ = 0, threw_ = 0, logged_ = 0, failures_ = 0;
    std::map<std::string, int> absorbed_;
};

TEST_F(FaultInjection, CopyThenDelete) { Run({"copy then delete", 0, Tmpfs(), ""}); }

// The Desktop on ext4 and the offload folder on tmpfs: copy_file_range
// refuses, so the copy goes through read and write.
TEST_F(FaultInjection, CopyThenDeleteAcrossFileSystems) {
    if (!Usable("/dev/shm"))
        GTEST_SKIP() << "no second file system at /dev/shm";
    Run({"copy then delete across file systems", 0, "/tmp", "/dev/shm"});
}

TEST_F(FaultInjection, Move) { Run({"move", 1, Tmpfs(), ""}); }

TEST_F(FaultInjection, CopyThenDeleteOverEarlierFiles) {
    Run({"copy then delete over earlier files", 0, Tmpfs(), "", true});
}

TEST_F(FaultInjection, MoveOverEarlierFiles) { Run({"move over earlier files", 1, Tmpfs(), "", true}); }

TEST_F(FaultInjection, MoveAcrossFileSystems) {
    if (!Usable("/dev/shm"))
        GTEST_SKIP() << "no second file system at /dev/shm";
    Run({"move across file systems", 1, "/tmp", "/dev/shm"});
}

TEST_F(FaultInjection, Delete) { Run({"delete", 2, Tmpfs(), ""}); }

// The home Trash below the sandbox's home, on the Desktop's file system.
TEST_F(FaultInjection, Trash) { Run({"send to the Trash", 3, Tmpfs(), ""}); }
// The history's own writes, syncs, truncations and opens fail in turn during
// recorded passes: each failure stops the pass with its error before the
// next change, and recovery then finds history and disk in agreement.
TEST_F(FaultInjection, HistoryWritesOfACopyPass) { Run({"recorded copy then delete", 0, Tmpfs(), "", false, true}); }
TEST_F(FaultInjection, HistoryWritesOfAMovePass) { Run({"recorded move", 1, Tmpfs(), "", false, true}); }
TEST_F(FaultInjection, HistoryWritesOfADeletePass) { Run({"recorded delete", 2, Tmpfs(), "", false, true}); }

// A real full disk: the offload folder on a 2 MiB tmpfs, the Desktop holding
// more than that.
class SmallDisk {
public:
    SmallDisk() : where_(MakeTempRoot("/tmp")) {
        mounted_ = mount("tmpfs", where_.c_str(), "tmpfs", 0, "size=2m") == 0;
        if (mounted_)
            chmod(where_.c_str(), 0755);
    }
    ~SmallDisk() {
        if (mounted_)
            umount2(where_.c_str(), MNT_DETACH);
        rmdir(where_.c_str());
    }
    bool Mounted() const { return mounted_; }
    const std::string& Path() const { return where_; }

private:
    std::string where_;
    bool mounted_ = false;
};

void ExpectFullDiskHandled(int mode) {
    SmallDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    Sandbox box("/tmp", disk.Path());
    for (int i = 0; i < 4; ++i)
        test::WriteFile(box.Desktop() + "/large " + std::to_string(i) + ".bin", Bytes(700 * 1024, 20 + i));
    for (int i = 0; i < 6; ++i)
        test::WriteFile(box.Desktop() + "/folder/small " + std::to_string(i) + ".txt", Bytes(10 * 1024, 40 + i));
    box.WriteSettings(mode);
    const Snapshot originals = DataEntries(Scan(box.Desktop()));

    PassOutcome outcome = RunPass(box, false);
    EXPECT_FALSE(outcome.threw) << outcome.what;
    const char* failed = mode == 0 ? "File copy of " : "Move of ";
    EXPECT_FALSE(LoggedPaths(outcome.log, box.Desktop(), failed, " FAILED.").empty()) << outcome.log;
    Judgement judgement;
    judgement.originals = &originals;
    judgement.mode = mode;
    std::vector<std::string> problems = JudgePass(box, outcome, judgement);
    EXPECT_TRUE(problems.empty()) << Report(problems) << outcome.log;
    // A copy that ran out of room takes its temporary file with it.
    for (const auto& [path, entry] : ScanIfPresent(box.Offload()))
        EXPECT_FALSE(IsTempName(BaseName(path))) << "left behind: " << Printable(path);
}

TEST(DiskFull, CopyIntoAFullFileSystemFailsCleanly) { ExpectFullDiskHandled(0); }
TEST(DiskFull, MoveIntoAFullFileSystemFailsCleanly) { ExpectFullDiskHandled(1); }

}  // namespace
}  // namespace tidyfold::reliability
