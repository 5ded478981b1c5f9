// Transfers between open folders and the changes an open folder makes to
// its entries: each acts on the entry the caller saw, and only on it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fs/OpenFolder.h"
#include "fs/Transfer.h"
#include "tests/fs/FsTest.h"
#include "tests/support/Snapshot.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;
namespace fault = fs::fault;

class Transfer : public FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        MakeDirs(dir / "from");
        MakeDirs(dir / "to");
    }
    fs::OpenFolder From() const { return fs::OpenFolder::Open(dir / "from"); }
    fs::OpenFolder To() const { return fs::OpenFolder::Open(dir / "to"); }
    static fs::Entry Seen(const fs::OpenFolder& folder, const std::string& name) {
        std::optional<fs::Entry> entry = folder.Stat(name);
        EXPECT_TRUE(entry.has_value()) << name;
        return entry.value_or(fs::Entry{});
    }
    // Replaces path by a new file of the given contents, as an editor saves.
    static void SaveByRename(const std::string& path, const std::string& contents) {
        WriteFile(path + ".new", contents);
        ASSERT_EQ(rename((path + ".new").c_str(), path.c_str()), 0);
    }
};

TEST_F(Transfer, copy_reads_the_file_seen_and_removal_takes_only_that_file_unchanged) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> afterCopy;
        bool removed;
    };
    const std::vector<Case> cases = {
        {"unchanged", [](const std::string&) {}, true},
        {"saved over by rename", [](const std::string& p) { SaveByRename(p, "newer"); }, false},
        {"written in place", [](const std::string& p) { WriteFile(p, "other"); }, false},
        {"made read-only", [](const std::string& p) { Chmod(p, 0444); }, false},
        {"gone", [](const std::string& p) { RemoveTree(p); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / "from/f.txt";
        WriteFile(path, "first");
        const fs::OpenFolder from = From();
        fs::Entry read;
        const fs::Outcome copied = fs::CopyEntry(from, Seen(from, "f.txt"), To(), "f.txt", nullptr, nullptr, &read);
        ASSERT_TRUE(copied.Ok()) << copied.error;
        EXPECT_EQ(ReadFile(dir / "to/f.txt"), "first");
        c.afterCopy(path);
        const bool existed = Exists(path);
        const std::string contents = existed ? ReadFile(path) : "";
        const fs::Outcome removed = fs::RemoveIfUnchanged(from, read);
        EXPECT_EQ(removed.Ok(), c.removed);
        EXPECT_EQ(Exists(path), existed && !c.removed);
        if (existed && !c.removed) {
            EXPECT_TRUE(removed.changed);
            EXPECT_EQ(ReadFile(path), contents);
        }
        RemoveTree(path);
    }
}

TEST_F(Transfer, a_copy_of_a_file_that_changes_while_it_is_read_is_dropped) {
    const std::string big(12u << 20, 'a');
    WriteFile(dir / "from/big", big);
    WriteFile(dir / "to/big", "earlier");
    const fs::OpenFolder from = From();
    bool wrote = false;
    auto progress = [&](std::uint64_t, std::uint64_t done) {
        if (done > 0 && !wrote) {
            wrote = true;
            const int fd = open((dir / "from/big").c_str(), O_WRONLY);
            ASSERT_EQ(pwrite(fd, "b", 1, 0), 1);
            close(fd);
        }
    };
    const fs::Outcome copied = fs::CopyEntry(from, Seen(from, "big"), To(), "big", progress, nullptr, nullptr);
    EXPECT_TRUE(copied.changed);
    EXPECT_EQ(ReadFile(dir / "to/big"), "earlier");
    EXPECT_TRUE(TempFilesIn(dir / "to").empty());
}

TEST_F(Transfer, a_copy_that_reads_another_length_than_the_file_had_fails) {
    WriteFile(dir / "from/f", std::string(3 << 20, 'x'));
    struct Case {
        Call call;
        int nth;
        bool fallback;
    };
    // A file system answering "no more data" after the first chunk, on
    // either way of copying.
    for (const Case& c : {Case{Call::CopyFileRange, 1, false}, Case{Call::Read, 2, true}}) {
        SCOPED_TRACE(std::string(fault::Name(c.call)));
        fault::Reset();
        if (c.fallback)
            fault::Inject(Call::CopyFileRange, EXDEV);
        fault::Inject(c.call, fault::kEndOfData, c.nth);
        const fs::OpenFolder from = From();
        const fs::Outcome copied = fs::CopyEntry(from, Seen(from, "f"), To(), "f", nullptr, nullptr, nullptr);
        EXPECT_EQ(copied.error, EIO);
        EXPECT_FALSE(Exists(dir / "to/f"));
        EXPECT_TRUE(TempFilesIn(dir / "to").empty());
        EXPECT_EQ(CopyByPath(dir / "from/f", dir / "to/g", nullptr), 0);  // the fault is spent
    }
}

TEST_F(Transfer, a_name_that_leads_elsewhere_than_the_entry_seen_is_not_touched) {
    WriteFile(dir / "from/f", "seen");
    const fs::OpenFolder from = From();
    const fs::Entry seen = Seen(from, "f");
    SaveByRename(dir / "from/f", "another file now");
    EXPECT_TRUE(fs::CopyEntry(from, seen, To(), "f", nullptr, nullptr, nullptr).changed);
    EXPECT_FALSE(Exists(dir / "to/f"));
    fault::Inject(Call::Rename, EXDEV);
    EXPECT_TRUE(fs::MoveEntry(from, seen, To(), "f", nullptr, nullptr).changed);
    EXPECT_FALSE(Exists(dir / "to/f"));
    EXPECT_EQ(ReadFile(dir / "from/f"), "another file now");
}

TEST_F(Transfer, a_move_across_file_systems_keeps_both_when_the_source_changed_after_its_copy) {
    WriteFile(dir / "from/f", std::string(9u << 20, 'o'));
    const fs::OpenFolder from = From();
    const fs::Entry seen = Seen(from, "f");
    fault::Inject(Call::Rename, EXDEV);
    // Saved over once the copy is in place, before the source goes: the
    // first flush is the copy's, the second its folder's.
    fault::InjectAction(Call::Fsync, 2, [&] { SaveByRename(dir / "from/f", "saved meanwhile"); });
    std::vector<std::uint64_t> reports;
    auto progress = [&](std::uint64_t, std::uint64_t done) { reports.push_back(done); };
    const fs::Outcome moved = fs::MoveEntry(from, seen, To(), "f", progress, nullptr);
    EXPECT_TRUE(moved.changed);
    EXPECT_TRUE(moved.copied);
    EXPECT_EQ(moved.error, 0);
    EXPECT_EQ(ReadFile(dir / "from/f"), "saved meanwhile");
    EXPECT_EQ(ReadFile(dir / "to/f"), std::string(9u << 20, 'o'));
    EXPECT_GE(reports.size(), 3u);  // the start and every chunk, as a copy reports

    // A cancel abandons the copy and keeps the source only.
    volatile int cancel = 1;
    WriteFile(dir / "from/g", "g");
    fault::Inject(Call::Rename, EXDEV);
    EXPECT_EQ(fs::MoveEntry(from, Seen(from, "g"), To(), "g", nullptr, &cancel).error, ECANCELED);
    EXPECT_TRUE(Exists(dir / "from/g"));
    EXPECT_FALSE(Exists(dir / "to/g"));
}

// A copy or move never replaces anything: a name taken before the transfer,
// or just before its claiming rename, sends the file to the next free name.
TEST_F(Transfer, a_taken_name_sends_the_file_to_the_next_free_one_and_replaces_nothing) {
    enum class How { Copy, Move, MoveAcross, MoveByLink };
    const std::pair<How, const char*> hows[] = {
        {How::Copy, "copy"}, {How::Move, "move"}, {How::MoveAcross, "move across"}, {How::MoveByLink, "move by link"}};
    const struct {
        const char* name;
        std::function<void(const std::string& to)> take;  // before the transfer
        bool justBefore;                                     // take the name just before the claim instead
        const char* placed;
    } cases[] = {
        {"free", [](const std::string&) {}, false, "r.txt"},
        {"a file", [](const std::string& t) { WriteFile(t + "/r.txt", "older"); }, false, "r (2).txt"},
        {"a folder", [](const std::string& t) { MakeDirs(t + "/r.txt"); }, false, "r (2).txt"},
        {"a dangling link", [](const std::string& t) { symlink("nowhere", (t + "/r.txt").c_str()); }, false,
         "r (2).txt"},
        {"two numbers", [](const std::string& t) { WriteFile(t + "/r.txt", "1"); WriteFile(t + "/r (2).txt", "2"); },
         false, "r (3).txt"},
        {"taken during the transfer", [](const std::string& t) { WriteFile(t + "/r.txt", "older"); }, true,
         "r (2).txt"},
    };
    for (const auto& [how, label] : hows) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(label) + ", " + c.name);
            fault::Reset();
            RemoveTree(dir / "to");
            MakeDirs(dir / "to");
            WriteFile(dir / "from/r.txt", "mine");
            const std::string to = dir / "to";
            if (!c.justBefore)
                c.take(to);
            const auto before = BriefTree(to);
            // The claiming rename is the first use, or the second after the
            // rename that found another file system.
            if (how == How::MoveAcross)
                fault::Inject(Call::Rename, EXDEV);
            if (how == How::MoveByLink)
                fault::Inject(Call::Rename, ENOSYS);
            if (c.justBefore)
                fault::InjectAction(how == How::MoveByLink ? Call::Link : Call::Rename,
                                    how == How::MoveAcross ? 2 : 1, [&] { c.take(to); });
            const fs::OpenFolder from = From();
            const fs::Entry seen = Seen(from, "r.txt");
            const fs::Outcome done = how == How::Copy
                                         ? fs::CopyEntry(from, seen, To(), "r.txt", nullptr, nullptr, nullptr)
                                         : fs::MoveEntry(from, seen, To(), "r.txt", nullptr, nullptr);
            ASSERT_TRUE(done.Ok()) << done.error;
            EXPECT_EQ(done.placed, c.placed);
            EXPECT_EQ(ReadFile(to + "/" + c.placed), "mine");
            EXPECT_EQ(Exists(dir / "from/r.txt"), how == How::Copy);
            auto after = BriefTree(to);
            after.erase(c.placed);
            if (c.justBefore)
                EXPECT_EQ(ReadFile(to + "/r.txt"), "older");
            else
                EXPECT_EQ(after, before);  // every earlier entry as it was, nothing left beside
        }
    }
}

TEST_F(Transfer, a_failed_claim_leaves_the_source_and_nothing_in_the_destination) {
    const struct {
        const char* name;
        bool copy;
        std::vector<std::pair<Call, int>> faults;
    } cases[] = {
        {"copy, rename", true, {{Call::Rename, EIO}}},
        {"copy, link after a missing rename", true, {{Call::Rename, ENOSYS}, {Call::Link, EIO}}},
        {"move, rename", false, {{Call::Rename, EIO}}},
        {"move, link after a missing rename", false, {{Call::Rename, EINVAL}, {Call::Link, EIO}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fault::Reset();
        WriteFile(dir / "to/r.txt", "older");
        WriteFile(dir / "from/r.txt", "mine");
        for (const auto& [call, error] : c.faults)
            fault::Inject(call, error);
        const fs::OpenFolder from = From();
        const fs::Entry seen = Seen(from, "r.txt");
        const fs::Outcome done = c.copy ? fs::CopyEntry(from, seen, To(), "r.txt", nullptr, nullptr, nullptr)
                                        : fs::MoveEntry(from, seen, To(), "r.txt", nullptr, nullptr);
        EXPECT_EQ(done.error, EIO);
        EXPECT_EQ(done.placed, "");
        EXPECT_EQ(ReadFile(dir / "from/r.txt"), "mine");
        EXPECT_EQ(BriefTree(dir / "to").size(), 1u);  // the earlier file alone, no temporary beside it
        EXPECT_EQ(ReadFile(dir / "to/r.txt"), "older");
    }
}

TEST_F(Transfer, folders_are_made_and_entered_one_name_at_a_time_never_through_a_link) {
    const fs::OpenFolder to = To();
    MakeDirs(dir / "outside");
    Symlink(dir / "outside", dir / "to/linked");
    WriteFile(dir / "to/file", "f");
    EXPECT_FALSE(to.MakeSub("linked", fs::Flush::Yes).has_value());
    EXPECT_EQ(ThrownErrno([&] { to.MakeSub("file", fs::Flush::No); }), ENOTDIR);
    fault::Reset();
    const std::optional<fs::OpenFolder> made = to.MakeSub("new", fs::Flush::Yes);
    ASSERT_TRUE(made.has_value());
    EXPECT_EQ(fault::Uses(Call::Fsync), 1);  // the new folder's entry is flushed
    EXPECT_TRUE(made->MakeSub("inner", fs::Flush::No).has_value());
    EXPECT_EQ(fault::Uses(Call::Fsync), 1);
    EXPECT_EQ(to.MakeSub("new", fs::Flush::Yes)->Id(), made->Id());  // an existing one is entered
    EXPECT_FALSE(to.OpenSubIfFolder("linked").has_value());
    EXPECT_FALSE(to.OpenSubIfFolder("file").has_value());
    EXPECT_FALSE(to.OpenSubIfFolder("missing").has_value());
    fault::Inject(Call::Mkdir, ENOSPC);
    EXPECT_EQ(ThrownErrno([&] { to.MakeSub("full", fs::Flush::No); }), ENOSPC);
    EXPECT_EQ(fs::Folder::Get(dir / "outside").EntryCount(), 0u);
}

TEST_F(Transfer, removals_take_only_the_entry_listed) {
    const fs::OpenFolder from = From();
    WriteFile(dir / "from/file", "x");
    WriteFile(dir / "from/locked", "x");
    Chmod(dir / "from/locked", 0444);
    MakeDirs(dir / "from/empty");
    MakeDirs(dir / "from/tree/inner");
    WriteFile(dir / "from/tree/inner/x", "x");
    const fs::Entry file = Seen(from, "file");
    const fs::Entry empty = Seen(from, "empty");
    const fs::Entry tree = Seen(from, "tree");

    EXPECT_EQ(ThrownErrno([&] { from.RemoveListedFile(Seen(from, "locked"), fs::Force::No); }), EACCES);
    WriteFile(dir / "from/file", "written since");
    EXPECT_FALSE(from.RemoveListedFile(file, fs::Force::No));
    SaveByRename(dir / "from/file", "new");
    EXPECT_FALSE(from.RemoveListedFile(file, fs::Force::No));
    EXPECT_TRUE(from.RemoveListedFile(Seen(from, "file"), fs::Force::No));
    EXPECT_FALSE(from.RemoveListedFile(file, fs::Force::No));  // gone

    WriteFile(dir / "from/empty/arrived", "a");
    EXPECT_FALSE(from.RemoveEmptyFolder(empty));
    RemoveTree(dir / "from/empty/arrived");
    Chmod(dir / "from/empty", 0555);
    EXPECT_EQ(ThrownErrno([&] { from.RemoveEmptyFolder(empty); }), EACCES);
    Chmod(dir / "from/empty", 0755);
    EXPECT_TRUE(from.RemoveEmptyFolder(empty));

    std::string swapped;
    fault::SetDescentHook([&](const std::string& path) {
        swapped = path;
        RemoveTree(path);
        Symlink(dir / "to", path);
    });
    EXPECT_FALSE(from.RemoveListedTree(tree));
    fault::SetDescentHook(nullptr);
    EXPECT_EQ(swapped, dir / "from/tree");
    RemoveTree(dir / "from/tree");
    MakeDirs(dir / "from/tree/inner");
    EXPECT_TRUE(from.RemoveListedTree(Seen(from, "tree")));
    EXPECT_FALSE(Exists(dir / "from/tree"));
}

TEST_F(Transfer, write_permission_is_given_to_a_file_never_to_a_link) {
    const fs::OpenFolder from = From();
    WriteFile(dir / "from/ro", "x");
    Chmod(dir / "from/ro", 0444);
    WriteFile(dir / "outside", "o");
    Chmod(dir / "outside", 0444);
    Symlink(dir / "outside", dir / "from/link");
    EXPECT_TRUE(from.MakeWritable(Seen(from, "ro")));
    EXPECT_EQ(ModeOf(dir / "from/ro"), 0644u);
    EXPECT_TRUE(from.MakeWritable(Seen(from, "link")));
    EXPECT_EQ(ModeOf(dir / "outside"), 0444u);
    const fs::Entry gone = Seen(from, "ro");
    RemoveTree(dir / "from/ro");
    fs::Entry stale = gone;
    stale.mode = 0444;
    EXPECT_FALSE(from.MakeWritable(stale));
}

}  // namespace
}  // namespace tidyfold::test
