// Undo and Restore Selected: what a pass offloaded goes back where it was,
// with its bytes, permission bits and times, never over anything.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>

#include "base/Error.h"
#include "history/Restore.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/Snapshot.h"

namespace tidyfold::test {
namespace {

using history::ActionOutcome;

struct Kept {
    std::string bytes;  // contents, or a link's text
    mode_t mode = 0;
    timespec atime{}, mtime{};
};

// Reads without touching the access time, which the test compares.
std::string ReadQuietly(const std::string& path) {
    std::string bytes;
    const int fd = open(path.c_str(), O_RDONLY | O_NOATIME | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    if (fd >= 0)
        close(fd);
    return bytes;
}

Kept Look(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    Kept kept;
    if (S_ISLNK(st.st_mode)) {
        char text[4096];
        const ssize_t n = readlink(path.c_str(), text, sizeof text);
        kept.bytes.assign(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    } else {
        kept.bytes = ReadQuietly(path);
    }
    kept.mode = st.st_mode & 07777;
    // A link's access time moves whenever its text is read.
    if (!S_ISLNK(st.st_mode))
        kept.atime = st.st_atim;
    kept.mtime = st.st_mtim;
    return kept;
}

void ExpectSame(const Kept& before, const Kept& after) {
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(after.mode, before.mode);
    EXPECT_EQ(after.mtime.tv_sec, before.mtime.tv_sec);
    EXPECT_EQ(after.mtime.tv_nsec, before.mtime.tv_nsec);
    EXPECT_EQ(after.atime.tv_sec, before.atime.tv_sec);
    EXPECT_EQ(after.atime.tv_nsec, before.atime.tv_nsec);
}

// rename, or across file systems what mv does: a copy with the same bits
// and times, then the original removed.
void MoveKeeping(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return;
    ASSERT_EQ(errno, EXDEV) << from;
    struct stat st {};
    ASSERT_EQ(lstat(from.c_str(), &st), 0);
    if (S_ISLNK(st.st_mode)) {
        char text[4096];
        const ssize_t n = readlink(from.c_str(), text, sizeof text);
        ASSERT_GT(n, 0);
        ASSERT_EQ(symlink(std::string(text, static_cast<std::size_t>(n)).c_str(), to.c_str()), 0);
    } else {
        WriteFile(to, ReadQuietly(from));
        ASSERT_EQ(chmod(to.c_str(), st.st_mode & 07777), 0);
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    ASSERT_EQ(unlink(from.c_str()), 0);
}

class RestoreTest : public HistoryTest {
protected:
    // A Desktop of files with their own modes and times, and a link; then a
    // pass that moved them all into the offload folder and removed the
    // folders it emptied.
    std::int64_t OffloadedPass() {
        const std::vector<std::pair<std::string, mode_t>> files{
            {"top.txt", 0644}, {"a/b/deep.bin", 0600}, {"a/read only.txt", 0444}, {"odd \xff\n name", 0755}};
        for (const auto& [relative, mode] : files) {
            WriteFile(Desktop() + "/" + relative, "bytes of " + relative);
            chmod((Desktop() + "/" + relative).c_str(), mode);
            const timespec times[2] = {{1'500'000'000, 123'456'789}, {1'400'000'000, 987'654'321}};
            utimensat(AT_FDCWD, (Desktop() + "/" + relative).c_str(), times, 0);
            relatives_.push_back(relative);
        }
        symlink("../elsewhere", (Desktop() + "/a/link").c_str());
        relatives_.push_back("a/link");
        std::vector<JournalEntry> entries;
        for (const std::string& relative : relatives_) {
            before_[relative] = Look(Desktop() + "/" + relative);
            entries.push_back(Seen(relative));
        }
        for (const std::string& relative : relatives_) {
            const std::string to = Offload() + "/" + relative;
            MakeDirs(to.substr(0, to.rfind('/')));
            MoveKeeping(Desktop() + "/" + relative, to);
        }
        RemoveTree(Desktop() + "/a");
        return Completed(entries);
    }

    void ExpectBack(const std::string& relative) {
        SCOPED_TRACE(relative);
        ASSERT_TRUE(Exists(Desktop() + "/" + relative));
        ExpectSame(before_[relative], Look(Desktop() + "/" + relative));
        EXPECT_FALSE(Exists(Offload() + "/" + relative));
    }

    std::vector<std::string> relatives_;
    std::map<std::string, Kept> before_;
};

TEST_F(RestoreTest, undo_puts_every_offloaded_file_back_as_it_was_and_is_recorded_as_a_pass) {
    const std::int64_t pass = OffloadedPass();
    const history::RestoreResult result = history::Restore(*history_, pass);
    EXPECT_EQ(result.restored, std::int64_t(relatives_.size()));
    EXPECT_TRUE(result.notes.empty());
    for (const std::string& relative : relatives_)
        ExpectBack(relative);

    const auto undo = history_->Pass(result.undoPass);
    ASSERT_TRUE(undo.has_value());
    EXPECT_EQ(undo->kind, history::PassKind::Undo);
    EXPECT_EQ(undo->undoes, pass);
    EXPECT_EQ(undo->ending, history::PassEnding::Completed);
    EXPECT_EQ(undo->done, std::int64_t(relatives_.size()));
    EXPECT_EQ(Restorable(pass), 0);
    for (const auto& action : history_->Actions(pass))
        EXPECT_EQ(action.restoredBy, result.undoPass) << action.relative;
    EXPECT_EQ(history::Restore(*history_, pass).undoPass, 0) << "nothing is left to put back";
}

TEST_F(RestoreTest, a_name_taken_on_the_desktop_is_never_replaced) {
    const std::int64_t pass = OffloadedPass();
    WriteFile(Desktop() + "/top.txt", "a new file");
    const history::RestoreResult result = history::Restore(*history_, pass);
    EXPECT_EQ(result.taken, 1);
    EXPECT_EQ(result.restored, std::int64_t(relatives_.size()) - 1);
    EXPECT_EQ(ReadFile(Desktop() + "/top.txt"), "a new file");
    ExpectSame(before_["top.txt"], Look(Offload() + "/top.txt"));
    const auto action = ActionAt(pass, "top.txt");
    EXPECT_TRUE(action.CanRestore());

    // Once the name is free, the rest goes back too.
    std::remove((Desktop() + "/top.txt").c_str());
    EXPECT_EQ(history::Restore(*history_, pass, {action.id}).restored, 1);
    ExpectBack("top.txt");
}

// Folders no pass may work in, now: the offload folder replaced by a link
// to the Desktop (or to home). Nothing is moved, and nothing is recorded.
TEST_F(RestoreTest, an_offload_folder_replaced_by_a_link_to_the_desktop_is_refused) {
    const std::int64_t pass = OffloadedPass();
    const std::string moved = Offload() + ".moved";
    ASSERT_EQ(std::rename(Offload().c_str(), moved.c_str()), 0);
    ASSERT_EQ(symlink(Desktop().c_str(), Offload().c_str()), 0);
    const std::map<std::string, std::string> desktop = BriefTree(Desktop());
    const std::size_t passes = history_->Passes().size();
    bool refused = false;
    try {
        history::Restore(*history_, pass);
    } catch (const Error& error) {
        refused = error.What() == Error::Kind::Refused;
    }
    EXPECT_TRUE(refused);
    EXPECT_EQ(BriefTree(Desktop()), desktop);
    EXPECT_EQ(history_->Passes().size(), passes);
    EXPECT_EQ(Restorable(pass), std::int64_t(relatives_.size()));
}

TEST_F(RestoreTest, what_is_gone_or_changed_in_the_offload_folder_stays_as_it_is) {
    const std::int64_t pass = OffloadedPass();
    std::remove((Offload() + "/top.txt").c_str());
    WriteFile(Offload() + "/a/b/deep.bin", "edited since");
    const history::RestoreResult result = history::Restore(*history_, pass);
    EXPECT_EQ(result.missing, 2);
    EXPECT_EQ(ReadFile(Offload() + "/a/b/deep.bin"), "edited since");
    EXPECT_FALSE(Exists(Desktop() + "/a/b/deep.bin"));
    EXPECT_EQ(ActionAt(pass, "top.txt").restoredBy, 0);
    ExpectBack("a/read only.txt");
}

TEST_F(RestoreTest, restore_selected_puts_back_only_the_chosen_actions) {
    const std::int64_t pass = OffloadedPass();
    const auto chosen = ActionAt(pass, "a/b/deep.bin");
    EXPECT_EQ(history::Restore(*history_, pass, {chosen.id}).restored, 1);
    ExpectBack("a/b/deep.bin");
    EXPECT_TRUE(Exists(Offload() + "/top.txt"));
    EXPECT_EQ(Restorable(pass), std::int64_t(relatives_.size()) - 1);
}

TEST_F(RestoreTest, a_link_in_the_way_back_is_never_followed) {
    const std::int64_t pass = OffloadedPass();
    MakeDirs(dir_ / "outside");
    symlink((dir_ / "outside").c_str(), (Desktop() + "/a").c_str());
    const history::RestoreResult result = history::Restore(*history_, pass);
    EXPECT_EQ(result.failed, 3);
    for (const auto& [id, note] : result.notes)
        EXPECT_NE(note.find("link"), std::string::npos) << note;
    EXPECT_EQ(system(("test -z \"$(ls -A '" + (dir_ / "outside") + "')\"").c_str()), 0) << "nothing went through it";
    ExpectBack("top.txt");
}

TEST_F(RestoreTest, across_file_systems_the_file_comes_back_as_a_durable_copy_with_its_times) {
    if (access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second file system at /dev/shm";
    char shm[] = "/dev/shm/tidyfold-restore-XXXXXX";
    ASSERT_NE(mkdtemp(shm), nullptr);
    offload_ = std::string(shm) + "/Trash";
    const std::int64_t pass = OffloadedPass();
    const history::RestoreResult result = history::Restore(*history_, pass);
    EXPECT_EQ(result.restored, std::int64_t(relatives_.size()));
    for (const std::string& relative : relatives_)
        ExpectBack(relative);
    RemoveTree(shm);
}

}  // namespace
}  // namespace tidyfold::test
