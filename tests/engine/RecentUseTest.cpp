// Last use as the desktop knows it: a file whose own times are old but which
// the desktop's record shows opened within the limit stays, in the pass, its
// plan, a plan carried out later and the empty-file gate; a record that
// cannot be read changes nothing; a drive mounted noatime is named.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "tests/engine/EngineFixture.h"
#include "tests/support/RecentRecord.h"

namespace tidyfold::test {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

const PlanEntry* Planned(const CleanPlan& plan, const std::string& relative) {
    for (const PlanEntry& entry : plan.entries)
        if (entry.relative == relative)
            return &entry;
    return nullptr;
}

class RecentUseTest : public EngineTest {
protected:
    std::int64_t now_ = 0;
    void SetUp() override {
        EngineTest::SetUp();
        now_ = base_ + kDay;  // every file the test makes is about 11 days old
        Settings(1, "7", 1);  // move, and delete empty files
    }
    std::string Kept(const std::string& relative, const std::string& in) const {
        return "Left " + desktop_ + "/" + relative + " where it is: the desktop's record of opened files shows it was "
               "opened" + in + " within the time limit.";
    }
};

TEST_F(RecentUseTest, a_file_opened_within_the_limit_stays_whatever_its_own_times_say) {
    struct Case {
        const char* relative;
        const char* contents;
        std::int64_t openedDaysAgo;  // 0: no entry
        const char* application;     // "" for an entry of the file alone
        bool stays;
        ageing::LastUseFrom planned;  // what the plan says of one that goes
    };
    const Case cases[] = {
        {"opened yesterday.pdf", "pdf", 1, "Document Viewer", true, {}},
        {"sub/read in a folder.txt", "text", 1, "", true, {}},
        {"caf\xe9 \xff spaced.txt", "text", 1, "Viewer", true, {}},
        {"empty opened.txt", "", 1, "Editor", true, {}},
        {"opened before the limit.pdf", "pdf", 8, "Document Viewer", false, ageing::LastUseFrom::Opened},
        {"no entry.pdf", "pdf", 0, "", false, ageing::LastUseFrom::Changed},
        {"empty.txt", "", 0, "", false, ageing::LastUseFrom::Changed},
    };
    RecentRecord record;
    for (const Case& c : cases) {
        Put(c.relative, c.contents);
        const std::int64_t opened = now_ - c.openedDaysAgo * kDay;
        if (c.openedDaysAgo == 0)
            continue;
        if (c.application[0] != '\0')
            record.OpenedIn(desktop_ + "/" + c.relative, c.application, opened);
        else
            record.File(desktop_ + "/" + c.relative, now_ - 30 * kDay, now_ - 30 * kDay, opened);
    }
    record.Write(tmp_.RecentFilesFile());

    cTidyfold planner;
    planner.SetClock([this] { return now_; });
    const CleanPlan plan = planner.PlanClean();
    EXPECT_EQ(engine_.Clean(), 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.relative);
        EXPECT_EQ(Exists(desktop_ + "/" + c.relative), c.stays);
        const PlanEntry* entry = Planned(plan, c.relative);
        ASSERT_EQ(entry == nullptr, c.stays);
        const std::string in = c.application[0] != '\0' ? std::string(" in ") + c.application : "";
        EXPECT_EQ(Occurrences(engine_.Log(), Kept(c.relative, in)), c.stays ? 1u : 0u) << engine_.Log();
        if (entry == nullptr)
            continue;
        EXPECT_EQ(entry->lastUse.from, c.planned);
        EXPECT_EQ(entry->lastUse.application, c.openedDaysAgo != 0 ? c.application : "");
    }
    EXPECT_EQ(Occurrences(engine_.Log(), "desktop's record"), 4u);
    // The classic gate asks the record too.
    EXPECT_EQ(engine_.IsFileNullFile(fs::File(desktop_ + "/empty opened.txt")), 0);
}

TEST_F(RecentUseTest, a_plan_carried_out_later_keeps_a_file_opened_since) {
    Put("report.pdf", "pdf");
    Put("empty.txt", "");
    const CleanPlan plan = engine_.PlanClean();
    ASSERT_EQ(plan.entries.size(), 2u);
    RecentRecord()
        .OpenedIn(desktop_ + "/report.pdf", "Document Viewer", now_ - 3600)
        .OpenedIn(desktop_ + "/empty.txt", "Editor", now_ - 3600)
        .Write(tmp_.RecentFilesFile());
    cTidyfold later;
    later.SetClock([this] { return now_; });
    EXPECT_EQ(later.CarryOut(plan, std::vector<bool>(plan.entries.size(), true)).files, 1);
    EXPECT_TRUE(Exists(desktop_ + "/report.pdf"));
    EXPECT_TRUE(Exists(desktop_ + "/empty.txt"));
    EXPECT_EQ(Occurrences(later.Log(), Kept("report.pdf", " in Document Viewer")), 1u) << later.Log();
    EXPECT_EQ(Occurrences(later.Log(), Kept("empty.txt", " in Editor")), 1u) << later.Log();
}

TEST_F(RecentUseTest, a_record_that_cannot_be_read_is_said_once_and_the_pass_goes_by_the_files_times) {
    Put("a.txt");
    Put("sub/b.txt");
    WriteFile(tmp_.RecentFilesFile(), "<?xml version=\"1.0\"?><xbel version=\"1.0\"><bookmark href=\"file:///x");
    EXPECT_EQ(engine_.Clean(), 2);
    EXPECT_EQ(Occurrences(engine_.Log(), "Could not read the desktop's record of opened files " +
                                             tmp_.RecentFilesFile() + ": "),
              1u)
        << engine_.Log();
    EXPECT_FALSE(Exists(desktop_ + "/a.txt"));
}

TEST_F(RecentUseTest, a_desktop_drive_mounted_noatime_is_named_in_the_plan_and_once_in_the_log) {
    const std::string notice =
        "This drive does not record when files are read; last use comes from changes and from the desktop's record "
        "of opened files.";
    for (const auto& [flags, named] : {std::pair{MS_NOATIME, true}, {MS_RELATIME, false}}) {
        SCOPED_TRACE(named ? "noatime" : "relatime");
        TempDir mountPoint("/tmp");
        if (mount("tmpfs", mountPoint.Path().c_str(), "tmpfs", flags, "size=4m") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        {
            Sandbox box(mountPoint.Path());
            box.WriteSettings(1);
            WriteFile(box.Desktop() + "/a.txt", "a");
            cTidyfold engine;
            engine.SetClock([this] { return now_; });
            EXPECT_EQ(engine.PlanClean().noAccessTimes, named);
            EXPECT_EQ(engine.Clean(), 1);
            EXPECT_EQ(Occurrences(engine.Log(), notice), named ? 2u : 0u) << engine.Log();  // plan and pass
        }
        ASSERT_EQ(umount2(mountPoint.Path().c_str(), MNT_DETACH), 0);
    }
}

}  // namespace
}  // namespace tidyfold::test
