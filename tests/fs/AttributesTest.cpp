#include <fcntl.h>
#include <sys/stat.h>

#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;
using Attributes = FsTest;

TEST_F(Attributes, read_only_is_the_owner_write_bit_and_hidden_the_leading_dot) {
    WriteFile(dir / "plain", "x");
    WriteFile(dir / ".dot", "x");
    WriteFile(dir / "group-writable", "x");
    Chmod(dir / "plain", 0644);
    Chmod(dir / "group-writable", 0474);
    EXPECT_EQ(fs::File(dir / "plain").Attributes(), fs::kAttrNormal);
    EXPECT_EQ(fs::File(dir / ".dot").Attributes(), fs::kAttrHidden);
    EXPECT_EQ(fs::File(dir / "group-writable").Attributes(), fs::kAttrReadOnly);
    Chmod(dir / ".dot", 0444);
    EXPECT_EQ(fs::File(dir / ".dot").Attributes(), fs::kAttrHidden | fs::kAttrReadOnly);
}

TEST_F(Attributes, writing_changes_only_the_owner_write_bit) {
    WriteFile(dir / "f", "x");
    Chmod(dir / "f", 0451);
    fs::File file(dir / "f");
    file.SetAttributes(fs::kAttrNormal);
    EXPECT_EQ(ModeOf(dir / "f"), 0651u);
    file.SetAttributes(fs::kAttrReadOnly | fs::kAttrHidden);
    EXPECT_EQ(ModeOf(dir / "f"), 0451u);
    EXPECT_EQ(file.Attributes(), fs::kAttrReadOnly);
}

TEST_F(Attributes, hidden_cannot_be_cleared) {
    WriteFile(dir / ".dot", "x");
    Chmod(dir / ".dot", 0444);
    fs::File file(dir / ".dot");
    file.SetAttributes(fs::kAttrNormal);
    EXPECT_EQ(file.Attributes(), fs::kAttrHidden);
    EXPECT_EQ(ModeOf(dir / ".dot"), 0644u);
}

TEST_F(Attributes, a_link_is_never_written_through) {
    WriteFile(dir / "target", "x");
    Chmod(dir / "target", 0444);
    Symlink(dir / "target", dir / "link");
    fs::File link(dir / "link");
    // The link's own mode counts, not its target's.
    EXPECT_EQ(link.Attributes(), fs::kAttrNormal);
    link.SetAttributes(fs::kAttrNormal);
    link.SetAttributes(fs::kAttrReadOnly);
    EXPECT_EQ(ModeOf(dir / "target"), 0444u);
    EXPECT_EQ(fs::fault::Uses(Call::Chmod), 0);
}

TEST_F(Attributes, a_refused_change_is_an_error) {
    WriteFile(dir / "f", "x");
    Chmod(dir / "f", 0444);
    fs::File file(dir / "f");
    fs::fault::Inject(Call::Chmod, EPERM);
    EXPECT_EQ(ThrownErrno([&] { file.SetAttributes(fs::kAttrNormal); }), EPERM);
    EXPECT_EQ(ModeOf(dir / "f"), 0444u);
    // Another user's file, for real.
    EXPECT_EQ(RunUnprivileged([&] {
                  EXPECT_EQ(ThrownErrno([&] { file.SetAttributes(fs::kAttrNormal); }), EPERM);
              }),
              0);
    EXPECT_EQ(ModeOf(dir / "f"), 0444u);
    EXPECT_EQ(ThrownErrno([&] { fs::File(dir / "gone").SetAttributes(0); }), ENOENT);
}

TEST_F(Attributes, size_and_kind_are_those_of_the_entry_itself) {
    WriteFile(dir / "f", std::string(12345, 'z'));
    Symlink("f", dir / "link");
    EXPECT_EQ(fs::File(dir / "f").Size(), 12345u);
    EXPECT_FALSE(fs::File(dir / "f").IsLink());
    EXPECT_EQ(fs::File(dir / "link").Size(), 1u);
    EXPECT_TRUE(fs::File(dir / "link").IsLink());
    EXPECT_EQ(ThrownErrno([&] { fs::File(dir / "gone").Size(); }), ENOENT);
    EXPECT_EQ(ThrownErrno([&] { fs::File(dir / "gone").Attributes(); }), ENOENT);
}

// Sets access and write times to exact values, of the link itself if it is one.
void SetTimes(const std::string& path, timespec access, timespec modify) {
    const timespec times[2] = {access, modify};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

TEST_F(Attributes, times_are_read_to_the_nanosecond_without_touching_the_file) {
    WriteFile(dir / "f", "data");
    SetTimes(dir / "f", {1000000000, 123456789}, {1500000000, 987654321});
    fs::FileTimes times = fs::File(dir / "f").Times();
    EXPECT_EQ(times.access_ns, 1000000000123456789LL);
    EXPECT_EQ(times.modify_ns, 1500000000987654321LL);
    struct stat st {};
    ASSERT_EQ(lstat((dir / "f").c_str(), &st), 0);
    EXPECT_EQ(times.change_ns, st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec);
    // A second look sees the same access time: the first one did not open it.
    EXPECT_EQ(fs::File(dir / "f").Times().access_ns, times.access_ns);
    EXPECT_EQ(fs::fault::Uses(Call::Open), 0);
}

TEST_F(Attributes, times_of_a_link_are_its_own) {
    WriteFile(dir / "target", "data");
    Symlink(dir / "target", dir / "link");
    SetTimes(dir / "target", {2000000000, 0}, {2000000000, 0});
    SetTimes(dir / "link", {100, 5}, {200, 6});
    fs::FileTimes times = fs::File(dir / "link").Times();
    EXPECT_EQ(times.access_ns, 100000000005LL);
    EXPECT_EQ(times.modify_ns, 200000000006LL);
}

TEST_F(Attributes, unreadable_times_are_an_error) {
    EXPECT_EQ(ThrownErrno([&] { fs::File(dir / "gone").Times(); }), ENOENT);
    WriteFile(dir / "f", "x");
    fs::fault::Inject(Call::Lstat, EACCES);
    EXPECT_EQ(ThrownErrno([&] { fs::File(dir / "f").Times(); }), EACCES);
}

}  // namespace
}  // namespace tidyfold::test
