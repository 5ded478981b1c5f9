#include "history/Schema.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include "base/Error.h"

namespace tidyfold::history {

namespace {

constexpr int kVersion = 3;

// Paths are BLOBs: file names are bytes, not always UTF-8. Times are
// nanoseconds since 1970 UTC, as the file layer reads them; a pass's start
// and end are whole seconds. Kinds and outcomes are words (Records.cpp).
//
// A pass writes one row per action, before the action, and nothing more for
// an action that is simply done: the pass's "settled" mark says that every
// action up to it has its outcome, which is "done" unless outcomes holds
// another. An action's id is its pass's id times 2^32 plus its number in the
// pass, so the actions of a pass are one range of the table's own key and
// need no index of their own. The counts of a pass are written once it is
// settled. A Desktop clean also keeps how many files its scan collected and
// how many it handled before it ended, and every pass what started it. The
// removal of an unpacked folder keeps the archive it was compared with (its
// name beside the folder, size and modification time), the one Undo may
// unpack it from again: a row of its own, so that the many rows of files
// carry nothing more.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS passes(
    id INTEGER PRIMARY KEY,
    started INTEGER NOT NULL,
    ended INTEGER,
    kind TEXT NOT NULL,
    mode INTEGER,
    desktop BLOB NOT NULL,
    offload BLOB NOT NULL,
    ending TEXT NOT NULL DEFAULT 'running',
    error TEXT NOT NULL DEFAULT '',
    undoes INTEGER,
    owner TEXT NOT NULL DEFAULT '',
    settled INTEGER NOT NULL DEFAULT 0,
    actions INTEGER,
    done INTEGER,
    not_done INTEGER,
    collected INTEGER,
    processed INTEGER,
    origin TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS actions(
    id INTEGER PRIMARY KEY,
    pass INTEGER NOT NULL,
    action TEXT NOT NULL,
    entry TEXT NOT NULL,
    path BLOB NOT NULL,
    destination BLOB NOT NULL,
    device INTEGER NOT NULL,
    inode INTEGER NOT NULL,
    size INTEGER NOT NULL,
    atime INTEGER NOT NULL,
    mtime INTEGER NOT NULL,
    ctime INTEGER NOT NULL,
    mode INTEGER NOT NULL,
    undoes INTEGER
);
CREATE TABLE IF NOT EXISTS outcomes(
    action INTEGER PRIMARY KEY,
    outcome TEXT NOT NULL,
    note TEXT NOT NULL DEFAULT '',
    destination BLOB
);
CREATE TABLE IF NOT EXISTS archives(
    action INTEGER PRIMARY KEY,
    name BLOB NOT NULL,
    size INTEGER NOT NULL,
    mtime INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS actions_undoing ON actions(undoes) WHERE undoes IS NOT NULL;
CREATE INDEX IF NOT EXISTS passes_unsettled ON passes(id) WHERE actions IS NULL;
)sql";

// What version 2 added to a history of version 1.
constexpr const char* kFromVersion1 = R"sql(
ALTER TABLE passes ADD COLUMN collected INTEGER;
ALTER TABLE passes ADD COLUMN processed INTEGER;
ALTER TABLE passes ADD COLUMN origin TEXT NOT NULL DEFAULT '';
)sql";

// What version 3 added to a history of version 2.
constexpr const char* kFromVersion2 = R"sql(
CREATE TABLE archives(
    action INTEGER PRIMARY KEY,
    name BLOB NOT NULL,
    size INTEGER NOT NULL,
    mtime INTEGER NOT NULL
);
)sql";

}  // namespace

namespace {

std::int64_t Pragma(Database& db, const char* sql) {
    Statement pragma = db.Prepare(sql);
    return pragma.Step() ? pragma.Int(0) : 0;
}

// What a history of ours may hold; the first three make one.
constexpr const char* kOurObjects[] = {"passes",          "actions",          "outcomes",
                                       "actions_undoing", "passes_unsettled", "archives"};
constexpr std::size_t kOurTables = 3;

// The tables, indexes, views and triggers of db that are not SQLite's own:
// nothing when all of them are ours, else the first that is not. Counts how
// many of our tables are there.
std::optional<std::string> ForeignObject(Database& db, std::size_t& ourTables) {
    Statement objects = db.Prepare("SELECT name FROM sqlite_master WHERE name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
    ourTables = 0;
    while (objects.Step()) {
        const std::string name = objects.Text(0);
        const auto* known = std::find(std::begin(kOurObjects), std::end(kOurObjects), name);
        if (known == std::end(kOurObjects))
            return name;
        ourTables += known - std::begin(kOurObjects) < static_cast<std::ptrdiff_t>(kOurTables) ? 1 : 0;
    }
    return std::nullopt;
}

[[noreturn]] void RefuseForeign(const Database& db) {
    throw Error::Refused("This file is not a Tidyfold history, and it is left as it is. Move it away, and Tidyfold "
                         "starts a new history in its place.",
                         db.Path());
}

// Reads only. A history written before it had its application id is one
// with user_version 1 and exactly our tables (version 2 added columns only).
void CheckIdentity(Database& db) {
    const std::int64_t id = Pragma(db, "PRAGMA application_id");
    const std::int64_t version = Pragma(db, "PRAGMA user_version");
    std::size_t ourTables = 0;
    const std::optional<std::string> foreign = ForeignObject(db, ourTables);
    if (id == kApplicationId) {
        if (version > kVersion)
            throw Error::Refused("The history was written by a newer Tidyfold and is left as it is.", db.Path());
        return;
    }
    const bool empty = id == 0 && version == 0 && !foreign && ourTables == 0;
    const bool beforeTheId = id == 0 && version == 1 && !foreign && ourTables == kOurTables;
    if (!empty && !beforeTheId)
        RefuseForeign(db);
}

}  // namespace

void PrepareHistory(Database& db) {
    CheckIdentity(db);
    // WAL: a pass appends its batches without rewriting the database, and
    // the History window reads while a pass writes. FULL: a batch's intents
    // are on disk before any of them is carried out, power loss included.
    // Pages of 16 KiB (for a new history; an existing one keeps its own): a
    // batch of thousands of rows goes to the log and back into the database
    // in a quarter of the writes the default 4 KiB would take.
    db.Execute("PRAGMA page_size=16384; PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    const std::int64_t version = Pragma(db, "PRAGMA user_version");
    if (Pragma(db, "PRAGMA application_id") == kApplicationId && version == kVersion)
        return;
    Transaction transaction(db);
    if (version == 0) {
        db.Execute(kSchema);
    } else {
        if (version < 2)
            db.Execute(kFromVersion1);
        if (version < 3)
            db.Execute(kFromVersion2);
    }
    db.Execute(("PRAGMA user_version = " + std::to_string(kVersion)).c_str());
    db.Execute(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
    transaction.Commit();
}

}  // namespace tidyfold::history
