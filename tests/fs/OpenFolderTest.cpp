// Folders held open: listing with one stat per entry, descent that never
// follows a link and notices a swapped folder, identity up to "/", reading.

#include <fcntl.h>
#include <sys/stat.h>

#include <map>

#include "fs/OpenFolder.h"
#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::EntryKind;
using fs::fault::Call;
namespace fault = fs::fault;

class OpenFolderTest : public FsTest {
protected:
    static fs::Identity IdOf(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
        return fs::IdentityOf(st);
    }
    static std::map<std::string, fs::Entry> ByName(const std::vector<fs::Entry>& entries) {
        std::map<std::string, fs::Entry> named;
        for (const fs::Entry& entry : entries)
            EXPECT_TRUE(named.emplace(entry.name, entry).second) << "listed twice: " << entry.name;
        return named;
    }
    // The entry name of a fresh listing of folder.
    static fs::Entry Listed(const fs::OpenFolder& folder, const std::string& name) {
        auto named = ByName(folder.List());
        EXPECT_EQ(named.count(name), 1u) << name;
        return named[name];
    }
};

TEST_F(OpenFolderTest, lists_every_entry_once_with_what_a_no_follow_stat_says) {
    WriteFile(dir / "d/file", "12345");
    WriteFile(dir / "elsewhere/target", "far away");
    Symlink(dir / "elsewhere/target", dir / "d/link");
    Symlink(dir / "elsewhere", dir / "d/folder-link");
    MakeDirs(dir / "d/sub");
    ASSERT_EQ(mkfifo((dir / "d/fifo").c_str(), 0600), 0);
    MakeSocket(dir / "d/socket");
    const std::string odd = std::string("back\\slash\nnew line \xff") + std::string(200, 'n');
    WriteFile(dir / "d/" + odd, "odd");
    Chmod(dir / "d/file", 0640);

    const fs::OpenFolder folder = fs::OpenFolder::Open(dir / "d");
    const auto named = ByName(folder.List());
    struct Case {
        std::string name;
        EntryKind kind;
        std::uint64_t size;
    };
    const std::vector<Case> cases = {
        {"file", EntryKind::File, 5},
        {"link", EntryKind::Link, (dir / "elsewhere/target").size()},
        {"folder-link", EntryKind::Link, (dir / "elsewhere").size()},
        {"sub", EntryKind::Folder, 0},
        {"fifo", EntryKind::Other, 0},
        {"socket", EntryKind::Other, 0},
        {odd, EntryKind::File, 3},
    };
    EXPECT_EQ(named.size(), cases.size());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(named.count(c.name), 1u);
        const fs::Entry& entry = named.at(c.name);
        struct stat st {};
        ASSERT_EQ(lstat((dir / "d/" + c.name).c_str(), &st), 0);
        EXPECT_EQ(entry.kind, c.kind);
        EXPECT_EQ(entry.id, fs::IdentityOf(st));
        EXPECT_EQ(entry.error, 0);
        EXPECT_EQ(entry.mode, st.st_mode & 07777);
        EXPECT_EQ(entry.times.change_ns, st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec);
        if (c.kind != EntryKind::Folder) {
            EXPECT_EQ(entry.size, c.size);
        }
    }
    EXPECT_EQ(named.at("file").mode, 0640u);
    // A second listing starts from the first entry again.
    EXPECT_EQ(folder.List().size(), cases.size());
}

TEST_F(OpenFolderTest, lists_a_folder_larger_than_one_read_of_the_system) {
    MakeDirs(dir / "many");
    constexpr int kCount = 3000;  // far more than fit one 32 KiB read
    for (int i = 0; i < kCount; ++i)
        WriteFile(dir / "many/entry number " + std::to_string(i), "");
    const auto named = ByName(fs::OpenFolder::Open(dir / "many").List());
    EXPECT_EQ(named.size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(named.count("entry number 2999"), 1u);
}

TEST_F(OpenFolderTest, an_entry_whose_stat_fails_is_listed_with_its_error_and_a_vanished_one_is_not) {
    WriteFile(dir / "d/a", "a");
    MakeDirs(dir / "d/b");
    const fs::OpenFolder folder = fs::OpenFolder::Open(dir / "d");
    fault::Inject(Call::Lstat, EIO, 2);
    std::vector<fs::Entry> entries = folder.List();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].error, 0);
    EXPECT_EQ(entries[1].error, EIO);
    // The kind then comes from the listing itself.
    EXPECT_EQ(entries[1].kind, entries[1].name == "a" ? EntryKind::File : EntryKind::Folder);

    fault::Inject(Call::Lstat, ENOENT, 1);
    EXPECT_EQ(folder.List().size(), 1u);
}

TEST_F(OpenFolderTest, stats_one_name_without_following_it) {
    WriteFile(dir / "f", "abc");
    Symlink(dir / "f", dir / "link");
    const fs::OpenFolder folder = fs::OpenFolder::Open(dir.Path());
    EXPECT_EQ(folder.Stat("f")->size, 3u);
    EXPECT_EQ(folder.Stat("link")->kind, EntryKind::Link);
    EXPECT_EQ(folder.Stat("link")->id, IdOf(dir / "link"));
    EXPECT_FALSE(folder.Stat("missing").has_value());
    fault::Inject(Call::Lstat, EACCES);
    EXPECT_EQ(ThrownErrno([&] { folder.Stat("f"); }), EACCES);
}

TEST_F(OpenFolderTest, a_root_is_opened_through_links_and_below_it_never) {
    MakeDirs(dir / "real/inner");
    Symlink(dir / "real", dir / "link");
    const fs::OpenFolder viaLink = fs::OpenFolder::Open(dir / "link/");
    EXPECT_EQ(viaLink.Id(), IdOf(dir / "real"));
    EXPECT_EQ(viaLink.Path(), dir / "link");
    EXPECT_FALSE(fs::OpenFolder::OpenIfPresent(dir / "missing").has_value());
    EXPECT_FALSE(fs::OpenFolder::OpenIfPresent("").has_value());
    EXPECT_EQ(ThrownErrno([&] { fs::OpenFolder::Open(dir / "missing"); }), ENOENT);

    const fs::OpenFolder top = fs::OpenFolder::Open(dir.Path());
    const int linkError = ThrownErrno([&] { top.OpenSub("link"); });
    EXPECT_TRUE(linkError == ENOTDIR || linkError == ELOOP) << linkError;
    const int noFollow = ThrownErrno([&] { fs::OpenFolder::OpenNoFollow(dir / "link"); });
    EXPECT_TRUE(noFollow == ENOTDIR || noFollow == ELOOP) << noFollow;
    EXPECT_EQ(top.OpenSub("real").OpenSub("inner").Path(), dir / "real/inner");
    EXPECT_EQ(fs::OpenFolder::OpenNoFollow(dir / "real/").Id(), IdOf(dir / "real"));
}

// What a folder may have become between its listing and the descent, and
// whether the descent still enters it.
TEST_F(OpenFolderTest, descent_enters_only_the_folder_that_was_listed) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> swap;
        bool entered;
    };
    const std::string outside = dir / "outside";
    MakeDirs(outside);
    WriteFile(outside + "/secret", "s");
    const std::vector<Case> cases = {
        {"untouched", [](const std::string&) {}, true},
        {"gone", [](const std::string& p) { RemoveTree(p); }, false},
        {"a link to a folder outside",
         [&](const std::string& p) { RemoveTree(p); Symlink(outside, p); }, false},
        {"a file", [](const std::string& p) { RemoveTree(p); WriteFile(p, "f"); }, false},
        {"another folder",
         [&](const std::string& p) {
             // Made while the listed one still exists, so the system cannot
             // hand it the freed inode.
             MakeDirs(dir / "other");
             RemoveTree(p);
             ASSERT_EQ(rename((dir / "other").c_str(), p.c_str()), 0);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(dir / "d");
        MakeDirs(dir / "d/sub");
        const fs::OpenFolder folder = fs::OpenFolder::Open(dir / "d");
        const fs::Entry listed = Listed(folder, "sub");
        std::string seen;
        fault::SetDescentHook([&](const std::string& path) {
            seen = path;
            c.swap(path);
        });
        const std::optional<fs::OpenFolder> sub = folder.OpenListed(listed);
        fault::SetDescentHook(nullptr);
        EXPECT_EQ(seen, dir / "d/sub");
        EXPECT_EQ(sub.has_value(), c.entered);
        if (sub) {
            EXPECT_EQ(sub->Id(), listed.id);
        }
    }
    EXPECT_EQ(ReadFile(outside + "/secret"), "s");
}

TEST_F(OpenFolderTest, descent_into_a_folder_its_user_may_not_read_fails) {
    MakeDirs(dir / "d/locked");
    Chmod(dir / "d/locked", 0700);
    EXPECT_EQ(RunUnprivileged([&] {
                  const fs::OpenFolder folder = fs::OpenFolder::Open(dir / "d");
                  const fs::Entry listed = Listed(folder, "locked");
                  EXPECT_EQ(ThrownErrno([&] { folder.OpenListed(listed); }), EACCES);
              }),
              0);
}

TEST_F(OpenFolderTest, ancestors_are_found_by_identity_up_to_the_root) {
    MakeDirs(dir / "a/b");
    Symlink(dir / "a/b", dir / "shortcut");
    const std::vector<fs::Identity> ids = fs::OpenFolder::Open(dir / "shortcut").SelfAndAncestors();
    ASSERT_GE(ids.size(), 4u);
    // Through the link, the folders above are those of the real folder.
    EXPECT_EQ(ids[0], IdOf(dir / "a/b"));
    EXPECT_EQ(ids[1], IdOf(dir / "a"));
    EXPECT_EQ(ids[2], IdOf(dir.Path()));
    EXPECT_EQ(ids.back(), IdOf("/"));
    EXPECT_EQ(fs::OpenFolder::Open("/").SelfAndAncestors(), std::vector<fs::Identity>{IdOf("/")});
    EXPECT_EQ(fs::OpenFolder::Open(dir / "a").Parent().Id(), IdOf(dir.Path()));
    fault::Inject(Call::Open, EMFILE);
    EXPECT_EQ(ThrownErrno([&] { fs::OpenFolder::Open(dir / "a").SelfAndAncestors(); }), EMFILE);
}

TEST_F(OpenFolderTest, reads_a_regular_file_and_nothing_else) {
    const std::string data(100000, 'x');
    WriteFile(dir / "d/file", data);
    Symlink(dir / "d/file", dir / "d/link");
    ASSERT_EQ(mkfifo((dir / "d/fifo").c_str(), 0600), 0);
    MakeDirs(dir / "d/sub");
    const fs::OpenFolder folder = fs::OpenFolder::Open(dir / "d");

    fs::InputFile input = folder.OpenForReading("file");
    EXPECT_EQ(input.Opened().id, Listed(folder, "file").id);
    EXPECT_EQ(input.Opened().size, data.size());
    std::string read;
    char buffer[4096];
    while (std::size_t got = input.Read(buffer, sizeof buffer))
        read.append(buffer, got);
    EXPECT_EQ(read, data);

    EXPECT_EQ(ThrownErrno([&] { folder.OpenForReading("link"); }), ELOOP);
    EXPECT_EQ(ThrownErrno([&] { folder.OpenForReading("fifo"); }), EINVAL);  // and no wait for a writer
    EXPECT_EQ(ThrownErrno([&] { folder.OpenForReading("sub"); }), EISDIR);
    EXPECT_EQ(ThrownErrno([&] { folder.OpenForReading("missing"); }), ENOENT);
    fs::InputFile failing = folder.OpenForReading("file");
    fault::Inject(Call::Read, EIO);
    EXPECT_EQ(ThrownErrno([&] { failing.Read(buffer, sizeof buffer); }), EIO);
}

TEST_F(OpenFolderTest, failures_of_the_system_name_what_was_done_and_where) {
    MakeDirs(dir / "d/sub");
    struct Case {
        Call call;
        int nth;
        std::function<void()> body;
        const char* operation;
        std::string path;
    };
    const fs::OpenFolder folder = fs::OpenFolder::Open(dir / "d");
    const std::vector<Case> cases = {
        {Call::Open, 1, [&] { fs::OpenFolder::Open(dir / "d"); }, "cannot open folder", dir / "d"},
        {Call::Fstat, 1, [&] { fs::OpenFolder::Open(dir / "d"); }, "cannot open folder", dir / "d"},
        {Call::Readdir, 1, [&] { folder.List(); }, "cannot list folder", dir / "d"},
        {Call::Readdir, 2, [&] { folder.List(); }, "cannot list folder", dir / "d"},
        {Call::Open, 1, [&] { folder.OpenSub("sub"); }, "cannot open folder", dir / "d/sub"},
        {Call::Open, 1, [&] { folder.Parent(); }, "cannot open the folder above", dir / "d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(fault::Name(c.call)) + " " + c.operation);
        fault::Inject(c.call, EIO, c.nth);
        try {
            c.body();
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), EIO);
            EXPECT_EQ(error.Operation(), c.operation);
            EXPECT_EQ(error.Path(), c.path);
        }
        fault::Reset();
    }
}

}  // namespace
}  // namespace tidyfold::test
