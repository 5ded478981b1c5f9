#include <fcntl.h>
#include <sys/stat.h>

#include <random>
#include <stdexcept>
#include <utility>

#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;
using Progress = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

std::string RandomBytes(std::size_t size, unsigned seed = 7) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

class CopyByPaths : public FsTest {
protected:
    // Copies with a progress routine that records every report.
    int Copy(const std::string& src, const std::string& dst, const volatile int* cancel = nullptr) {
        auto record = [&](std::uint64_t total, std::uint64_t done) {
            reports.emplace_back(total, done);
        };
        return CopyByPath(src, dst, record, cancel);
    }

    void ExpectProgressWellFormed(std::uint64_t total) {
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.front(), std::make_pair(total, std::uint64_t{0}));
        EXPECT_EQ(reports.back(), std::make_pair(total, total));
        for (std::size_t i = 1; i < reports.size(); ++i) {
            EXPECT_EQ(reports[i].first, total);
            EXPECT_GT(reports[i].second, reports[i - 1].second);
        }
    }

    Progress reports;
};

TEST_F(CopyByPaths, copies_data_permission_bits_and_times) {
    std::string data = RandomBytes(3 << 20);
    WriteFile(dir / "src", data);
    Chmod(dir / "src", 0640);
    const timespec times[2] = {{1000000000, 111}, {1200000000, 222}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "src").c_str(), times, 0), 0);
    MakeDirs(dir / "out");

    EXPECT_EQ(Copy(dir / "src", dir / "out/dst"), 0);
    // Times first: reading the copy may move its access time (relatime).
    fs::FileTimes copied = fs::File(dir / "out/dst").Times();
    EXPECT_EQ(copied.access_ns, 1000000000000000111LL);
    EXPECT_EQ(copied.modify_ns, 1200000000000000222LL);
    EXPECT_EQ(ReadFile(dir / "out/dst"), data);
    EXPECT_EQ(ModeOf(dir / "out/dst"), 0640u);
    EXPECT_EQ(ReadFile(dir / "src"), data);
    EXPECT_TRUE(TempFilesIn(dir / "out").empty());
    ExpectProgressWellFormed(data.size());
}

TEST_F(CopyByPaths, reports_progress_at_the_start_and_after_every_chunk) {
    std::string data = RandomBytes((20 << 20) + 17);
    WriteFile(dir / "big", data);
    EXPECT_EQ(Copy(dir / "big", dir / "copy"), 0);
    ExpectProgressWellFormed(data.size());
    EXPECT_GE(reports.size(), 4u);  // the start and three chunks of at most 8 MiB
    EXPECT_EQ(ReadFile(dir / "copy"), data);
}

TEST_F(CopyByPaths, falls_back_to_reading_and_writing) {
    std::string data = RandomBytes((3 << 20) + 512 * 1024);
    WriteFile(dir / "src", data);
    // What copy_file_range says between file systems it cannot serve.
    fs::fault::Inject(Call::CopyFileRange, EXDEV);
    EXPECT_EQ(Copy(dir / "src", dir / "dst"), 0);
    EXPECT_EQ(ReadFile(dir / "dst"), data);
    ExpectProgressWellFormed(data.size());
    EXPECT_EQ(reports.size(), 5u);  // the start and four chunks of 1 MiB at most
    EXPECT_GE(fs::fault::Uses(Call::Write), 4);
}

TEST_F(CopyByPaths, an_empty_file_reports_only_the_start) {
    WriteFile(dir / "empty", "");
    EXPECT_EQ(Copy(dir / "empty", dir / "dst"), 0);
    EXPECT_EQ(reports, (Progress{{0, 0}}));
    EXPECT_EQ(ReadFile(dir / "dst"), "");
}

TEST_F(CopyByPaths, onto_itself_fails_and_keeps_the_data) {
    WriteFile(dir / "f", "only copy");
    ASSERT_EQ(link((dir / "f").c_str(), (dir / "hard").c_str()), 0);
    EXPECT_EQ(Copy(dir / "f", dir / "f"), EINVAL);
    EXPECT_EQ(Copy(dir / "f", dir / "hard"), EINVAL);
    EXPECT_EQ(Copy(dir / "hard", dir / "./f"), EINVAL);
    EXPECT_EQ(ReadFile(dir / "f"), "only copy");
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
    Symlink("f", dir / "link");
    EXPECT_EQ(Copy(dir / "link", dir / "link"), EINVAL);
    EXPECT_EQ(LinkText(dir / "link"), "f");
}

TEST_F(CopyByPaths, copies_a_link_as_a_link) {
    WriteFile(dir / "target", "data");
    Symlink("target", dir / "link");
    Symlink("../nowhere", dir / "dangling");
    const timespec times[2] = {{300, 1}, {400, 2}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "link").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    MakeDirs(dir / "out");

    EXPECT_EQ(Copy(dir / "link", dir / "out/link"), 0);
    EXPECT_EQ(Copy(dir / "dangling", dir / "out/dangling"), 0);
    EXPECT_TRUE(fs::File(dir / "out/link").IsLink());
    EXPECT_EQ(LinkText(dir / "out/link"), "target");
    EXPECT_EQ(LinkText(dir / "out/dangling"), "../nowhere");
    EXPECT_EQ(fs::File(dir / "out/link").Times().modify_ns, 400000000002LL);
    EXPECT_EQ(ReadFile(dir / "target"), "data");
    EXPECT_TRUE(TempFilesIn(dir / "out").empty());
}

TEST_F(CopyByPaths, refuses_what_is_not_a_file) {
    MakeDirs(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    WriteFile(dir / "f", "x");
    EXPECT_EQ(Copy(dir / "gone", dir / "dst"), ENOENT);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(Copy(dir / "folder", dir / "dst"), EISDIR);
    EXPECT_EQ(Copy(dir / "fifo", dir / "dst"), EINVAL);
    EXPECT_EQ(Copy(dir / "f", dir / "no/such/dst"), ENOENT);
    EXPECT_FALSE(Exists(dir / "dst"));
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
}

struct Fault {
    Call call;
    int errnum;
    int nth;
};

TEST_F(CopyByPaths, any_failure_leaves_source_and_old_destination_and_no_temporary) {
    std::string data = RandomBytes((17 << 20) + 3);
    WriteFile(dir / "src", data);
    WriteFile(dir / "dst", "old");
    const std::vector<Fault> faults = {
        {Call::Open, EMFILE, 2},         {Call::CopyFileRange, EIO, 2},
        {Call::CopyFileRange, ENOSPC, 1}, {Call::Fsync, EIO, 1},
        {Call::Chmod, EPERM, 1},         {Call::Utimens, EPERM, 1},
        {Call::Rename, EIO, 1},          {Call::Close, EIO, 1},
        {Call::Open, EACCES, 3},
        {Call::Fstat, EIO, 1},           {Call::Lstat, EACCES, 1},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(std::string(fs::fault::Name(fault.call)) + " #" + std::to_string(fault.nth));
        fs::fault::Reset();
        fs::fault::Inject(fault.call, fault.errnum, fault.nth);
        EXPECT_EQ(Copy(dir / "src", dir / "dst"), fault.errnum);
        EXPECT_EQ(ReadFile(dir / "dst"), "old");
        EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
    }
    EXPECT_EQ(ReadFile(dir / "src"), data);
}

TEST_F(CopyByPaths, a_write_failure_midway_through_the_fallback_is_clean) {
    std::string data = RandomBytes(3 << 20);
    WriteFile(dir / "src", data);
    WriteFile(dir / "dst", "old");
    fs::fault::Inject(Call::CopyFileRange, EOPNOTSUPP);
    fs::fault::Inject(Call::Write, ENOSPC, 2);
    EXPECT_EQ(Copy(dir / "src", dir / "dst"), ENOSPC);
    EXPECT_EQ(ReadFile(dir / "dst"), "old");
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
    fs::fault::Inject(Call::Read, EIO, 2);
    fs::fault::Inject(Call::CopyFileRange, ENOSYS);
    EXPECT_EQ(Copy(dir / "src", dir / "dst"), EIO);
    EXPECT_EQ(ReadFile(dir / "dst"), "old");
    EXPECT_EQ(ReadFile(dir / "src"), data);
}

TEST_F(CopyByPaths, interrupted_calls_are_retried) {
    std::string data = RandomBytes(2 << 20);
    WriteFile(dir / "src", data);
    fs::fault::Inject(Call::CopyFileRange, EINTR);
    EXPECT_EQ(Copy(dir / "src", dir / "a"), 0);
    fs::fault::Inject(Call::CopyFileRange, EXDEV);
    fs::fault::Inject(Call::Write, EINTR);
    fs::fault::Inject(Call::Read, EINTR, 2);
    EXPECT_EQ(Copy(dir / "src", dir / "b"), 0);
    EXPECT_EQ(ReadFile(dir / "a"), data);
    EXPECT_EQ(ReadFile(dir / "b"), data);
}

TEST_F(CopyByPaths, an_unflushed_folder_is_reported_though_the_copy_is_in_place) {
    WriteFile(dir / "src", "data");
    fs::fault::Inject(Call::Fsync, EIO, 2);  // the first flushes the file, the second its folder
    EXPECT_EQ(Copy(dir / "src", dir / "dst"), EIO);
    EXPECT_EQ(ReadFile(dir / "src"), "data");
    EXPECT_EQ(ReadFile(dir / "dst"), "data");
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
}

TEST_F(CopyByPaths, a_cancel_abandons_the_copy_cleanly) {
    std::string data = RandomBytes(10 << 20);
    WriteFile(dir / "src", data);
    WriteFile(dir / "dst", "old");
    volatile int cancel = 0;
    int result = CopyByPath(
        dir / "src", dir / "dst",
        [&](std::uint64_t, std::uint64_t done) {
            reports.emplace_back(0, done);
            if (done > 0)
                cancel = 1;
        },
        &cancel);
    EXPECT_EQ(result, ECANCELED);
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(ReadFile(dir / "dst"), "old");
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());

    reports.clear();
    EXPECT_EQ(Copy(dir / "src", dir / "fresh", &cancel), ECANCELED);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_FALSE(Exists(dir / "fresh"));
}

TEST_F(CopyByPaths, a_throwing_progress_routine_cancels_without_throwing) {
    WriteFile(dir / "src", "data");
    int result = CopyByPath(dir / "src", dir / "dst", [](std::uint64_t, std::uint64_t done) {
        if (done > 0)
            throw std::runtime_error("window gone");
    });
    EXPECT_EQ(result, ECANCELED);
    result = CopyByPath(dir / "src", dir / "dst",
                          [](std::uint64_t, std::uint64_t) { throw Error::System(EPIPE, "cannot report progress"); });
    EXPECT_EQ(result, EPIPE);
    EXPECT_FALSE(Exists(dir / "dst"));
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
    EXPECT_EQ(CopyByPath(dir / "src", dir / "dst", nullptr), 0);
    EXPECT_EQ(ReadFile(dir / "dst"), "data");
}

TEST_F(CopyByPaths, handles_the_longest_names_and_odd_bytes) {
    std::string longName(255, 'n');
    std::string odd = "back\\slash\nnew\xff";
    WriteFile(dir / longName, "long");
    WriteFile(dir / odd, "odd");
    MakeDirs(dir / "out");
    EXPECT_EQ(Copy(dir / longName, dir / "out/" + longName), 0);
    EXPECT_EQ(Copy(dir / odd, dir / "out/" + odd), 0);
    EXPECT_EQ(ReadFile(dir / "out/" + longName), "long");
    EXPECT_EQ(ReadFile(dir / "out/" + odd), "odd");
    EXPECT_EQ(fs::Folder::Get(dir / "out").EntryCount(), 2u);
}

TEST_F(CopyByPaths, permission_failures_of_a_real_user) {
    WriteFile(dir / "secret", "s");
    Chmod(dir / "secret", 0600);
    WriteFile(dir / "open", "o");
    MakeDirs(dir / "mine");
    GiveToNobody(dir / "mine");
    EXPECT_EQ(RunUnprivileged([&] {
                  EXPECT_EQ(CopyByPath(dir / "secret", dir / "mine/s", nullptr), EACCES);
                  EXPECT_EQ(CopyByPath(dir / "open", dir / "theirs", nullptr), EACCES);
                  EXPECT_EQ(CopyByPath(dir / "open", dir / "mine/o", nullptr), 0);
              }),
              0);
    EXPECT_FALSE(Exists(dir / "mine/s"));
    EXPECT_FALSE(Exists(dir / "theirs"));
    EXPECT_EQ(ReadFile(dir / "mine/o"), "o");
    EXPECT_TRUE(TempFilesIn(dir / "mine").empty());
}

}  // namespace
}  // namespace tidyfold::test
