// The desktop's record of opened files: what each entry says, records that
// cannot be used, and entries found by folder identity whatever the spelling.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "fs/OpenFolder.h"
#include "shell/RecentFiles.h"
#include "tests/support/RecentRecord.h"
#include "tests/support/Sandbox.h"

namespace tidyfold {
namespace {

constexpr std::int64_t kNs = 1'000'000'000;
constexpr std::int64_t kT = 1'700'000'000;  // a time in 2023

const RecentEntry* EntryOf(const std::vector<RecentEntry>& entries, const std::string& path) {
    for (const RecentEntry& entry : entries)
        if (entry.path == path)
            return &entry;
    return nullptr;
}

TEST(RecentFiles, each_file_gets_its_newest_time_and_the_application_that_opened_it_then) {
    test::RecentRecord record;
    record.File("/d/plain.txt", kT, kT + 200, kT + 300)
        .File("/d/viewer.pdf", kT, kT, kT)
        .OpenedIn("/d/viewer.pdf", "Document Viewer", kT + 500)
        .File("/d/two apps.odt", kT, kT, kT + 460)
        .OpenedIn("/d/two apps.odt", "Writer", kT + 400)
        .OpenedIn("/d/two apps.odt", "Viewer", kT + 450)
        .File("/d/edited long ago.txt", kT, kT, kT + 10'000)
        .OpenedIn("/d/edited long ago.txt", "Editor", kT)
        .File("/d/caf\xe9 \xff.txt", kT + 7, kT + 7, kT + 7)
        .Uri("https://example.org/page", kT, kT, kT)
        .Uri("file://otherhost/d/remote.txt", kT, kT, kT)
        .Uri("file:///d/folder/", kT, kT, kT);
    struct Case {
        const char* path;
        std::int64_t seconds;  // -1: no entry
        const char* application;
    };
    const Case cases[] = {
        {"/d/plain.txt", kT + 300, ""},
        {"/d/viewer.pdf", kT + 500, "Document Viewer"},
        // Stamped a few seconds before its entry, as an opening is written.
        {"/d/two apps.odt", kT + 460, "Viewer"},
        // The entry's time is not that application's opening.
        {"/d/edited long ago.txt", kT + 10'000, ""},
        // A name with a space and bytes that are not UTF-8, percent-encoded
        // in its URI, comes back as the very bytes.
        {"/d/caf\xe9 \xff.txt", kT + 7, "Files"},
        {"/d/remote.txt", -1, ""},
        {"/d/folder", -1, ""},
    };
    std::string why;
    const std::optional<std::vector<RecentEntry>> entries = ParseRecentFiles(record.Text(), why);
    ASSERT_TRUE(entries) << why;
    EXPECT_EQ(entries->size(), 5u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const RecentEntry* entry = EntryOf(*entries, c.path);
        if (c.seconds < 0) {
            EXPECT_EQ(entry, nullptr);
            continue;
        }
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->use.ns, c.seconds * kNs);
        EXPECT_EQ(entry->use.application, c.application);
    }
}

TEST(RecentFiles, a_record_that_cannot_be_used_is_told_apart_from_none) {
    const std::string head =
        "<?xml version=\"1.0\"?><xbel version=\"1.0\" "
        "xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\">";
    struct Case {
        const char* label;
        std::string text;
        bool readable;
        std::size_t entries;
    };
    const Case cases[] = {
        {"empty", "", true, 0},
        {"no times: the load's own clock is no use", head + "<bookmark href=\"file:///d/a.txt\"/></xbel>", true, 0},
        {"a time out of range is left out, the others count",
         head + "<bookmark href=\"file:///d/a.txt\" added=\"9999-12-31T00:00:00Z\" "
                "visited=\"2023-11-14T22:13:20Z\"/></xbel>",
         true, 1},
        {"cut short", head + "<bookmark href=\"file:///d/a.txt\"", false, 0},
        {"not a date", head + "<bookmark href=\"file:///d/a.txt\" added=\"yesterday\"/></xbel>", false, 0},
        {"twice the same file",
         head + "<bookmark href=\"file:///d/a\" added=\"2023-01-01T00:00:00Z\"/>"
                "<bookmark href=\"file:///d/a\" added=\"2023-01-01T00:00:00Z\"/></xbel>",
         false, 0},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\xff", 11), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string why;
        const std::optional<std::vector<RecentEntry>> entries = ParseRecentFiles(c.text, why);
        EXPECT_EQ(entries.has_value(), c.readable);
        EXPECT_EQ(why.empty(), c.readable);
        EXPECT_EQ(entries ? entries->size() : 0u, c.entries);
    }

    // On disk: missing is no fault; too large, or a folder in its place, is.
    test::Sandbox box;
    EXPECT_EQ(RecentFilesPath(), box.RecentFilesFile());
    EXPECT_EQ(ReadRecentFiles().outcome, RecentFilesRead::Outcome::Missing);
    test::WriteFile(box.RecentFilesFile(), "");
    ASSERT_EQ(truncate(box.RecentFilesFile().c_str(), kRecentFilesLimit + 1), 0);
    RecentFilesRead huge = ReadRecentFiles();
    EXPECT_EQ(huge.outcome, RecentFilesRead::Outcome::Unreadable);
    EXPECT_EQ(huge.error, EFBIG);
    ASSERT_EQ(unlink(box.RecentFilesFile().c_str()), 0);
    test::MakeDirs(box.RecentFilesFile());
    EXPECT_EQ(ReadRecentFiles().error, EISDIR);
}

TEST(RecentFiles, entries_are_found_by_folder_identity_whichever_spelling_the_record_used) {
    test::Sandbox box;
    test::WriteFile(box.Desktop() + "/sub/x.txt", "x");
    // A second name for the Desktop, as a renamed language's folder leaves.
    ASSERT_EQ(symlink("Desktop", (box.Home() + "/Bureau").c_str()), 0);
    test::RecentRecord record;
    record.File(box.Home() + "/Bureau/sub/x.txt", kT, kT, kT)
        .File(box.Desktop() + "/sub/x.txt", kT - 50, kT - 50, kT - 50)
        .File(box.Desktop() + "/y.txt", kT + 1, kT + 1, kT + 1)
        .File(box.Home() + "/gone/z.txt", kT, kT, kT);
    record.Write(box.RecentFilesFile());

    const RecentFilesRead read = ReadRecentFiles();
    ASSERT_EQ(read.outcome, RecentFilesRead::Outcome::Read);
    EXPECT_EQ(read.files.Size(), 2u);  // the missing folder's entry is left out
    const fs::OpenFolder sub = fs::OpenFolder::Open(box.Desktop()).OpenSub("sub");
    const RecentUse* x = read.files.Find(sub.Id(), "x.txt");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->ns, kT * kNs);  // two spellings of one file: the newer counts
    EXPECT_NE(read.files.Find(fs::OpenFolder::Open(box.Desktop()).Id(), "y.txt"), nullptr);
    EXPECT_EQ(read.files.Find(sub.Id(), "y.txt"), nullptr);
}

}  // namespace
}  // namespace tidyfold
