// What an interrupted transfer leaves: the same-contents check recovery makes
// before it finishes a copy, and the removal of temporary files.

#include <map>

#include "fs/Leftovers.h"
#include "fs/Temp.h"
#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;

class LeftoversTest : public FsTest {
protected:
    static fs::Entry Listed(const fs::OpenFolder& folder, const std::string& name) {
        std::optional<fs::Entry> entry = folder.Stat(name);
        EXPECT_TRUE(entry.has_value()) << name;
        return entry.value_or(fs::Entry{});
    }
};

TEST_F(LeftoversTest, the_same_contents_are_equal_bytes_or_equal_link_text) {
    const std::string big(600 * 1024, 'x');
    std::string bigChanged = big;
    bigChanged[big.size() - 1] = 'y';
    struct Case {
        const char* what;
        std::function<void(const std::string& a, const std::string& b)> make;
        bool same;
    };
    const std::vector<Case> cases = {
        {"equal files", [&](auto& a, auto& b) { WriteFile(a, big); WriteFile(b, big); }, true},
        {"empty files", [](auto& a, auto& b) { WriteFile(a, ""); WriteFile(b, ""); }, true},
        {"a last byte differs", [&](auto& a, auto& b) { WriteFile(a, big); WriteFile(b, bigChanged); }, false},
        {"one is longer", [&](auto& a, auto& b) { WriteFile(a, big); WriteFile(b, big + "z"); }, false},
        {"equal link texts", [](auto& a, auto& b) { Symlink("t", a); Symlink("t", b); }, true},
        {"other link texts", [](auto& a, auto& b) { Symlink("t", a); Symlink("u", b); }, false},
        {"a file and a link to it", [](auto& a, auto& b) { WriteFile(a, "x"); Symlink(a, b); }, false},
        {"two folders", [](auto& a, auto& b) { MakeDirs(a); MakeDirs(b); }, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = dir / std::to_string(n++);
        MakeDirs(root + "/one");
        MakeDirs(root + "/two");
        c.make(root + "/one/entry", root + "/two/entry");
        const fs::OpenFolder one = fs::OpenFolder::Open(root + "/one");
        const fs::OpenFolder two = fs::OpenFolder::Open(root + "/two");
        EXPECT_EQ(fs::SameContents(one, Listed(one, "entry"), two, Listed(two, "entry")), c.same);
    }
}

TEST_F(LeftoversTest, a_file_replaced_since_it_was_listed_is_not_the_same) {
    WriteFile(dir / "a/f", "data");
    WriteFile(dir / "b/f", "data");
    const fs::OpenFolder a = fs::OpenFolder::Open(dir / "a");
    const fs::OpenFolder b = fs::OpenFolder::Open(dir / "b");
    const fs::Entry listed = Listed(a, "f");
    // Saved over by rename, as editors do: another file with the same bytes.
    WriteFile(dir / "a/new", "data");
    ASSERT_EQ(rename((dir / "a/new").c_str(), (dir / "a/f").c_str()), 0);
    EXPECT_FALSE(fs::SameContents(a, listed, b, Listed(b, "f")));
}

TEST_F(LeftoversTest, a_read_that_fails_is_an_error_not_a_verdict) {
    WriteFile(dir / "a/f", "data");
    WriteFile(dir / "b/f", "data");
    const fs::OpenFolder a = fs::OpenFolder::Open(dir / "a");
    const fs::OpenFolder b = fs::OpenFolder::Open(dir / "b");
    for (Call call : {Call::Open, Call::Read, Call::Fstat}) {
        SCOPED_TRACE(fs::fault::Name(call));
        fs::fault::Inject(call, EIO);
        EXPECT_EQ(ThrownErrno([&] { fs::SameContents(a, Listed(a, "f"), b, Listed(b, "f")); }), EIO);
        fs::fault::Reset();
    }
}

TEST_F(LeftoversTest, only_temporaries_of_the_names_given_are_removed) {
    const std::string longName(250, 'L');
    const std::vector<std::string> removed = {
        fs::TempNameFor("report.pdf", "a1B2c3"),
        fs::TempNameFor("report.pdf", "ZZZZZZ"),
        fs::TempNameFor(longName, "q9q9q9"),
    };
    const std::vector<std::string> kept = {
        "report.pdf",
        fs::TempNameFor("other.pdf", "a1B2c3"),
        ".report.pdf.tidyfold-tmp-abc",       // too short a suffix
        ".report.pdf.tidyfold-tmp-abc-de",    // not letters and digits
        "report.pdf.tidyfold-tmp-abcdef",     // no leading dot
        ".report.pdf.tidyfold-tmp-abcdef.x",  // something after it
    };
    for (const std::string& name : removed)
        WriteFile(dir / "d/" + name, "partial");
    for (const std::string& name : kept)
        WriteFile(dir / "d/" + name, "keep");
    MakeDirs(dir / "d/" + fs::TempNameFor("report.pdf", "folder"));  // a folder is never one
    Symlink("anywhere", dir / "d/" + fs::TempNameFor("report.pdf", "link00"));

    const fs::OpenFolder folder = fs::OpenFolder::Open(dir / "d");
    EXPECT_EQ(fs::RemoveTemporaries(folder, {"report.pdf", longName}), removed.size() + 1);
    for (const std::string& name : removed)
        EXPECT_FALSE(Exists(dir / "d/" + name)) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(Exists(dir / "d/" + name)) << name;
    EXPECT_TRUE(Exists(dir / "d/" + fs::TempNameFor("report.pdf", "folder")));

    fs::fault::Inject(Call::Unlink, EACCES);
    WriteFile(dir / "d/" + removed[0], "again");
    EXPECT_EQ(ThrownErrno([&] { fs::RemoveTemporaries(folder, {"report.pdf"}); }), EACCES);
}

TEST_F(LeftoversTest, a_temporary_name_gives_back_the_name_it_stands_for) {
    EXPECT_EQ(fs::TempNameStem(fs::TempNameFor("x.txt", "abcdef")), "x.txt");
    EXPECT_EQ(fs::TempNameStem(fs::TempNameFor(std::string(300, 'n'), "abcdef")), fs::TempStemOf(std::string(300, 'n')));
    EXPECT_LE(fs::TempNameFor(std::string(300, 'n'), "abcdef").size(), 255u);
    EXPECT_FALSE(fs::TempNameStem(".tidyfold-tmp-abcdef").has_value());
    EXPECT_FALSE(fs::TempNameStem("x.txt").has_value());
}

}  // namespace
}  // namespace tidyfold::test
