#include "history/Schema.h"

#include <string>

#include "base/Error.h"

namespace tidyfold::history {

namespace {

constexpr int kVersion = 2;

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
// how many it handled before it ended, and every pass what started it.
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
CREATE INDEX IF NOT EXISTS actions_undoing ON actions(undoes) WHERE undoes IS NOT NULL;
CREATE INDEX IF NOT EXISTS passes_unsettled ON passes(id) WHERE actions IS NULL;
)sql";

// What version 2 added to a history of version 1.
constexpr const char* kFromVersion1 = R"sql(
ALTER TABLE passes ADD COLUMN collected INTEGER;
ALTER TABLE passes ADD COLUMN processed INTEGER;
ALTER TABLE passes ADD COLUMN origin TEXT NOT NULL DEFAULT '';
)sql";

}  // namespace

void CreateSchema(Database& db) {
    Statement version = db.Prepare("PRAGMA user_version");
    const std::int64_t found = version.Step() ? version.Int(0) : 0;
    version.Reset();
    if (found > kVersion)
        throw Error::Refused("The history was written by a newer Tidyfold and is left as it is.", db.Path());
    if (found == kVersion)
        return;
    Transaction transaction(db);
    db.Execute(found == 1 ? kFromVersion1 : kSchema);
    db.Execute(("PRAGMA user_version = " + std::to_string(kVersion)).c_str());
    transaction.Commit();
}

}  // namespace tidyfold::history
