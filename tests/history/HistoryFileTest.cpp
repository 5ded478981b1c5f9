// The history's file: Tidyfold's own database, or refused as it is.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Error.h"
#include "history/Schema.h"
#include "history/Sqlite.h"
#include "tests/history/HistoryFixture.h"

namespace tidyfold::test {
namespace {

constexpr const char* kOurTables =
    "CREATE TABLE passes(id INTEGER PRIMARY KEY); CREATE TABLE actions(id INTEGER PRIMARY KEY); "
    "CREATE TABLE outcomes(action INTEGER PRIMARY KEY); ";

std::int64_t PragmaOf(const std::string& path, const char* sql) {
    history::Database db(path);
    history::Statement pragma = db.Prepare(sql);
    return pragma.Step() ? pragma.Int(0) : -1;
}

TEST_F(HistoryTest, refuses_a_database_that_is_not_its_own_without_touching_it) {
    struct Case {
        const char* what;
        std::string sql;  // run on a new database; empty: the file is not one
        const char* says;
    };
    const std::vector<Case> cases = {
        {"another program's tables", "CREATE TABLE notes(id INTEGER PRIMARY KEY, text TEXT); "
                                     "INSERT INTO notes(text) VALUES('mine');",
         "is not a Tidyfold history"},
        {"another program's id", std::string(kOurTables) + "PRAGMA application_id=1297302101; PRAGMA user_version=1;",
         "is not a Tidyfold history"},
        {"another user_version", std::string(kOurTables) + "PRAGMA user_version=7;", "is not a Tidyfold history"},
        {"our tables and another", std::string(kOurTables) + "CREATE VIEW recent AS SELECT 1; PRAGMA user_version=1;",
         "is not a Tidyfold history"},
        {"our tables without a version", kOurTables, "is not a Tidyfold history"},
        {"a later Tidyfold's",
         std::string(kOurTables) + "PRAGMA application_id=" + std::to_string(history::kApplicationId) +
             "; PRAGMA user_version=4;",
         "newer Tidyfold"},
        {"not a database", "", "damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir_ / "other.sqlite";
        RemoveTree(path);
        if (c.sql.empty())
            WriteFile(path, std::string(4096, 'x'));
        else
            history::Database(path).Execute((std::string("PRAGMA synchronous=OFF; ") + c.sql).c_str());
        const std::string before = ReadFile(path);
        try {
            history::History history(path, [this] { return now_; });
            ADD_FAILURE() << "opened";
        } catch (const Error& error) {
            EXPECT_NE(error.Description().find(c.says), std::string::npos) << error.Description();
            EXPECT_EQ(error.Path(), path);
        }
        EXPECT_TRUE(ReadFile(path) == before) << "the file was changed";
        EXPECT_FALSE(Exists(path + "-wal"));
        EXPECT_FALSE(Exists(path + "-journal"));
    }
}

// The first history Tidyfold wrote: version 1, no application id, and its
// passes without what later versions keep.
constexpr const char* kVersion1 = R"sql(
CREATE TABLE passes(id INTEGER PRIMARY KEY, started INTEGER NOT NULL, ended INTEGER, kind TEXT NOT NULL,
    mode INTEGER, desktop BLOB NOT NULL, offload BLOB NOT NULL, ending TEXT NOT NULL DEFAULT 'running',
    error TEXT NOT NULL DEFAULT '', undoes INTEGER, owner TEXT NOT NULL DEFAULT '',
    settled INTEGER NOT NULL DEFAULT 0, actions INTEGER, done INTEGER, not_done INTEGER);
CREATE TABLE actions(id INTEGER PRIMARY KEY, pass INTEGER NOT NULL, action TEXT NOT NULL, entry TEXT NOT NULL,
    path BLOB NOT NULL, destination BLOB NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,
    size INTEGER NOT NULL, atime INTEGER NOT NULL, mtime INTEGER NOT NULL, ctime INTEGER NOT NULL,
    mode INTEGER NOT NULL, undoes INTEGER);
CREATE TABLE outcomes(action INTEGER PRIMARY KEY, outcome TEXT NOT NULL, note TEXT NOT NULL DEFAULT '',
    destination BLOB);
CREATE INDEX actions_undoing ON actions(undoes) WHERE undoes IS NOT NULL;
CREATE INDEX passes_unsettled ON passes(id) WHERE actions IS NULL;
INSERT INTO passes(id, started, ended, kind, mode, desktop, offload, ending, settled, actions, done, not_done)
    VALUES(1, 1700000000, 1700000001, 'clean', 1, 'D', 'T', 'completed', 4294967298, 2, 2, 0);
PRAGMA user_version = 1;
)sql";

// The second: the first with what a pass's start and files keep, and the id.
const std::string kVersion2 = std::string(kVersion1) + R"sql(
ALTER TABLE passes ADD COLUMN collected INTEGER;
ALTER TABLE passes ADD COLUMN processed INTEGER;
ALTER TABLE passes ADD COLUMN origin TEXT NOT NULL DEFAULT '';
PRAGMA application_id = 1415136844;
PRAGMA user_version = 2;
)sql";

TEST_F(HistoryTest, a_history_of_an_earlier_version_opens_and_gets_the_id_and_what_later_versions_keep) {
    for (const std::string& schema : {std::string(kVersion1), kVersion2}) {
        SCOPED_TRACE(schema.substr(schema.size() - 30));
        const std::string path = dir_ / "old.sqlite";
        RemoveTree(path);
        RemoveTree(path + "-wal");
        RemoveTree(path + "-shm");
        history::Database(path).Execute(schema.c_str());
        history::History old(path, [this] { return now_; });
        ASSERT_EQ(old.Passes().size(), 1u);
        EXPECT_EQ(old.Passes()[0].actions, 2);
        EXPECT_EQ(old.Passes()[0].origin, history::PassOrigin::Unknown);
        EXPECT_FALSE(old.Passes()[0].collected.has_value());
        EXPECT_EQ(PragmaOf(path, "PRAGMA application_id"), history::kApplicationId);
        EXPECT_EQ(PragmaOf(path, "PRAGMA user_version"), 3);
        // And records new passes with what they keep now: what started them,
        // their files, the archive of an unpacked folder.
        history::PassStart start;
        start.origin = history::PassOrigin::Schedule;
        std::unique_ptr<history::PassRecorder> pass = old.Begin(start);
        JournalEntry unpacked = Entry("Photos", JournalAction::RemoveUnpackedFolder);
        unpacked.archive = ArchiveSeen{"Photos.zip", 1234, 1'700'000'000'123'456'789};
        JournalQueue queue(pass.get(), std::span(&unpacked, 1));
        queue.After(queue.Before(0), {});
        pass->Files(3, 2);
        pass->End(history::PassEnding::Stopped);
        EXPECT_EQ(old.Passes()[0].origin, history::PassOrigin::Schedule);
        EXPECT_EQ(old.Passes()[0].processed, 2);
        const std::vector<history::ActionRecord> actions = old.Actions(pass->Id());
        ASSERT_EQ(actions.size(), 1u);
        ASSERT_TRUE(actions[0].archive.has_value());
        EXPECT_EQ(actions[0].archive->name, "Photos.zip");
        EXPECT_EQ(actions[0].archive->size, 1234u);
        EXPECT_EQ(actions[0].archive->modify_ns, 1'700'000'000'123'456'789);
    }
}

}  // namespace
}  // namespace tidyfold::test
