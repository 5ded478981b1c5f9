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
             "; PRAGMA user_version=2;",
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

TEST_F(HistoryTest, a_history_from_before_its_application_id_opens_and_gets_it) {
    EXPECT_EQ(PragmaOf(DbPath(), "PRAGMA application_id"), history::kApplicationId);
    Completed(Entries(2));
    history_.reset();
    // What Tidyfold wrote before the history had an id of its own.
    history::Database(DbPath()).Execute("PRAGMA application_id=0");

    history_ = Reopen();
    ASSERT_EQ(history_->Passes().size(), 1u);
    EXPECT_EQ(history_->Passes()[0].actions, 2);
    EXPECT_EQ(PragmaOf(DbPath(), "PRAGMA application_id"), history::kApplicationId);
    EXPECT_EQ(PragmaOf(DbPath(), "PRAGMA user_version"), 1);
}

}  // namespace
}  // namespace tidyfold::test
