// Drives that lack a no-replace rename and hard links (exFAT, FAT), with
// the lack pretended here on any file system, and what a drive can hold.

#include <sys/stat.h>
#include <unistd.h>

#include "fs/Drive.h"
#include "fs/Leftovers.h"
#include "fs/Temp.h"
#include "fs/Transfer.h"
#include "tests/fs/FsTest.h"
#include "tests/support/Snapshot.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;
namespace fault = fs::fault;

class Claims : public FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        fault::Pretend(fault::Lack::NoReplaceRename);
        fault::Pretend(fault::Lack::HardLinks);
        MakeDirs(dir / "from");
        MakeDirs(dir / "to");
    }
    fs::OpenFolder From() const { return fs::OpenFolder::Open(dir / "from"); }
    fs::OpenFolder To() const { return fs::OpenFolder::Open(dir / "to"); }
    // What the destination folder holds, besides what a case put there.
    std::map<std::string, std::string> ToTree() const { return BriefTree(dir / "to"); }
};

// Copies and moves put their file at the name, or the next free one, over
// an empty file that claimed it exclusively; whatever held the name before,
// or took it between the claim and the check, is never replaced; nothing
// is left of a try.
TEST_F(Claims, a_name_is_claimed_exclusively_and_nothing_is_ever_replaced) {
    struct Case {
        const char* what;
        std::function<void()> before;  // run before the transfer
        bool move;
        std::string placed;
    };
    const std::string taken = dir / "to/f.txt";
    const std::vector<Case> cases = {
        {"free name, copy", [] {}, false, "f.txt"},
        {"free name, move", [] {}, true, "f.txt"},
        {"a file there", [&] { WriteFile(taken, "earlier"); }, false, "f (2).txt"},
        {"a folder there", [&] { MakeDirs(taken); }, true, "f (2).txt"},
        {"a link there", [&] { Symlink("/", taken); }, false, "f (2).txt"},
        {"the claim replaced before it is checked",
         [&] {
             // The claim's check is the second stat of the destination
             // (after the copy's look for the source itself).
             fault::InjectAction(Call::Lstat, 3, [&] {
                 RemoveTree(taken);
                 WriteFile(taken, "someone else's");
             });
         },
         false, "f (2).txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(dir / "to");
        MakeDirs(dir / "to");
        WriteFile(dir / "from/f.txt", "data");
        c.before();
        const std::map<std::string, std::string> there = ToTree();
        const fs::OpenFolder from = From();
        const fs::Entry seen = *from.Stat("f.txt");
        const fs::Outcome outcome = c.move ? fs::MoveEntry(from, seen, To(), "f.txt", nullptr, nullptr)
                                           : fs::CopyEntry(from, seen, To(), "f.txt", nullptr, nullptr, nullptr);
        ASSERT_TRUE(outcome.Ok()) << outcome.error;
        EXPECT_EQ(outcome.placed, c.placed);
        EXPECT_EQ(ReadFile(dir / ("to/" + c.placed)), "data");
        std::map<std::string, std::string> after = ToTree();
        after.erase(c.placed);
        if (std::string(c.what).find("replaced") != std::string::npos) {
            EXPECT_EQ(ReadFile(taken), "someone else's");
        } else {
            EXPECT_EQ(after, there);
        }
        EXPECT_EQ(Exists(dir / "from/f.txt"), !c.move);
        fault::Reset();
        fault::Pretend(fault::Lack::NoReplaceRename);
        fault::Pretend(fault::Lack::HardLinks);
    }
}

// A rename over the claim that fails takes the claim with it: the source
// stays, and the name is free again.
TEST_F(Claims, a_failed_rename_over_the_claim_leaves_nothing) {
    for (const int nth : {1, 2}) {
        SCOPED_TRACE(nth);
        RemoveTree(dir / "to");
        MakeDirs(dir / "to");
        WriteFile(dir / "from/f.txt", "data");
        // Rename uses: the no-replace rename that the drive lacks, then the
        // rename over the claim.
        fault::Inject(Call::Rename, EIO, nth + 1);
        const fs::OpenFolder from = From();
        const fs::Outcome outcome =
            fs::CopyEntry(from, *from.Stat("f.txt"), To(), "f.txt", nullptr, nullptr, nullptr);
        EXPECT_EQ(outcome.error, nth == 1 ? EIO : 0);
        EXPECT_EQ(ToTree().size(), nth == 1 ? 0u : 1u);
        EXPECT_EQ(ReadFile(dir / "from/f.txt"), "data");
    }
}

// What a kill between the claim and the rename leaves: the claim and the
// complete temporary file. Recovery tells the claim from a copy of an
// empty file, and removes it with the temporary file; a person's empty
// file, or one an earlier pass offloaded, stays.
TEST_F(Claims, a_claim_left_by_a_kill_is_told_from_a_copy_and_removed) {
    const std::string to = dir / "to";
    WriteFile(to + "/." + std::string("f.txt") + ".tidyfold-tmp-abc123", "");
    WriteFile(to + "/f.txt", "");
    Chmod(to + "/f.txt", 0600);
    WriteFile(to + "/g.txt", "");
    Chmod(to + "/g.txt", 0644);
    WriteFile(to + "/f (2).txt", "");
    Chmod(to + "/f (2).txt", 0644);
    const fs::OpenFolder folder = To();
    EXPECT_TRUE(fs::ClaimBeside(folder, *folder.Stat("f.txt")));
    EXPECT_FALSE(fs::ClaimBeside(folder, *folder.Stat("g.txt")));
    const std::int64_t since = (time(nullptr) - 60) * 1'000'000'000LL;
    EXPECT_EQ(fs::RemoveTemporaries(folder, {"f.txt", "g.txt"}, since), 2u);
    EXPECT_EQ(BriefTree(to).size(), 2u);
    EXPECT_TRUE(Exists(to + "/g.txt"));
    EXPECT_TRUE(Exists(to + "/f (2).txt"));
}

fs::DriveRules Windows() {
    fs::DriveRules rules;
    rules.family = fs::DriveFamily::Exfat;
    rules.name = "exFAT";
    rules.windowsNames = true;
    rules.utf16Names = true;
    rules.links = false;
    rules.maxFileSize = (4ull << 30) - 1;
    return rules;
}

TEST(DriveRules, what_each_kind_of_drive_cannot_hold_is_known_ahead) {
    using Why = fs::Unfit::Why;
    struct Case {
        std::string relative;
        fs::EntryKind kind;
        std::uint64_t size;
        Why windows;  // on exFAT-like rules
        Why posix;    // on a Linux file system
    };
    const std::string e(128, '\xc3');  // not UTF-8 on its own
    std::string longUnits;
    for (int i = 0; i < 128; ++i)
        longUnits += "\xc3\xa9";  // 128 characters, 256 bytes
    const std::vector<Case> cases = {
        {"a/b/report.txt", fs::EntryKind::File, 10, Why::None, Why::None},
        {"a:b/report.txt", fs::EntryKind::File, 10, Why::Character, Why::None},
        {"what?.txt", fs::EntryKind::File, 10, Why::Character, Why::None},
        {"tab\there", fs::EntryKind::File, 10, Why::Character, Why::None},
        {"notes.", fs::EntryKind::File, 10, Why::NameEnd, Why::None},
        {"folder /x", fs::EntryKind::File, 10, Why::NameEnd, Why::None},
        {e, fs::EntryKind::File, 10, Why::Encoding, Why::None},
        {longUnits, fs::EntryKind::File, 10, Why::None, Why::NameLength},
        {"ln", fs::EntryKind::Link, 4, Why::Link, Why::None},
        {"big.iso", fs::EntryKind::File, 4ull << 30, Why::Size, Why::None},
        {"just.iso", fs::EntryKind::File, (4ull << 30) - 1, Why::None, Why::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.relative);
        const fs::Unfit windows = fs::WhyUnfit(Windows(), c.relative, c.kind, c.size);
        EXPECT_EQ(windows.why, c.windows);
        EXPECT_EQ(fs::WhyUnfit(fs::DriveRules{}, c.relative, c.kind, c.size).why, c.posix);
        if (c.windows == Why::Character) {
            const std::size_t slash = c.relative.find('/');
            EXPECT_EQ(windows.folder, slash != std::string::npos && c.relative.find_first_of(":?\t") < slash);
        }
    }
}

// After the fact, what the driver answered is read against the name: each
// driver says a refused name its own way, and a Linux file system's EPERM
// or EINVAL is never blamed on a name.
TEST(DriveRules, a_refusal_is_read_from_the_drivers_answer) {
    using Why = fs::Unfit::Why;
    fs::DriveRules fuse;
    fuse.family = fs::DriveFamily::Fuse;
    struct Case {
        std::string name;
        fs::EntryKind kind;
        int errnum;
        Why onFuse;
        Why onPosix;
    };
    const std::vector<Case> cases = {
        {"x:y.txt", fs::EntryKind::File, ENOENT, Why::Character, Why::None},   // exfat-fuse
        {"x:y.txt", fs::EntryKind::File, EPERM, Why::Character, Why::None},    // fusefat
        {"notes.", fs::EntryKind::File, EINVAL, Why::NameEnd, Why::None},      // ntfs-3g, windows_names
        {"plain.txt", fs::EntryKind::File, ENOENT, Why::None, Why::None},      // really gone
        {"plain.txt", fs::EntryKind::File, EIO, Why::None, Why::None},
        {"ln", fs::EntryKind::Link, ENOSYS, Why::Link, Why::None},
        {"ln", fs::EntryKind::Link, EPERM, Why::Link, Why::None},
        {"long", fs::EntryKind::File, ENAMETOOLONG, Why::NameLength, Why::NameLength},
        {"big", fs::EntryKind::File, EFBIG, Why::Size, Why::Size},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " " + std::strerror(c.errnum));
        EXPECT_EQ(fs::RefusalOf(fuse, c.name, c.kind, c.errnum).why, c.onFuse);
        EXPECT_EQ(fs::RefusalOf(fs::DriveRules{}, c.name, c.kind, c.errnum).why, c.onPosix);
    }
}

// Times read back from a drive are the original's cut to its step.
TEST(DriveRules, a_stored_time_matches_within_the_drives_step) {
    constexpr std::int64_t kSecond = 1'000'000'000;
    const std::int64_t t = 1'600'000'001LL * kSecond + 123'456'789;
    EXPECT_TRUE(fs::SameStoredTime(t, t, 1));
    EXPECT_FALSE(fs::SameStoredTime(t, t - 1, 1));
    EXPECT_TRUE(fs::SameStoredTime(1'600'000'000LL * kSecond, t, 2 * kSecond));
    EXPECT_FALSE(fs::SameStoredTime(1'599'999'998LL * kSecond, t, 2 * kSecond));
    EXPECT_TRUE(fs::SameStoredTime(t - 89, t, 100));
}

// A temporary name keeps whole characters of a long final name: a drive
// that stores names as UTF-16 refuses half of one.
TEST(DriveRules, temporary_names_are_cut_between_characters) {
    std::string name;
    for (int i = 0; i < 120; ++i)
        name += "\xc3\xa9";
    const std::string temp = fs::TempNameFor(name, "abcdef");
    EXPECT_LE(temp.size(), 255u);
    EXPECT_EQ(fs::WhyUnfit(Windows(), temp, fs::EntryKind::File, 0).why, fs::Unfit::Why::None);
    EXPECT_TRUE(fs::TempNameStem(temp).has_value());
}

}  // namespace
}  // namespace tidyfold::test
