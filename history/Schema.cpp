#include "history/Schema.h"

#include "base/Error.h"

namespace tidyfold::history {

namespace {

constexpr int kVersion = 1;

// Paths are BLOBs: file names are bytes, not always UTF-8. Times are
// nanoseconds since 1970 UTC, as the file layer reads them; a pass's start
// and end are whole seconds. Outcomes and kinds are words (Records.cpp).
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
    owner TEXT NOT NULL DEFAULT ''
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
    outcome TEXT NOT NULL DEFAULT 'pending',
    note TEXT NOT NULL DEFAULT '',
    undoes INTEGER
);
CREATE INDEX IF NOT EXISTS actions_of_pass ON actions(pass);
CREATE INDEX IF NOT EXISTS actions_undoing ON actions(undoes) WHERE undoes IS NOT NULL;
CREATE INDEX IF NOT EXISTS passes_unended ON passes(id) WHERE ended IS NULL;
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
    db.Execute(kSchema);
    db.Execute("PRAGMA user_version = 1");
    transaction.Commit();
}

}  // namespace tidyfold::history
