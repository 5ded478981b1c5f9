#pragma once

#include <cstdint>

#include "history/Sqlite.h"

namespace tidyfold::history {

// The history's own PRAGMA application_id: "TYFL" in ASCII (0x5459464C), so
// that Tidyfold (and file(1)) can tell its history from the database of
// another program.
inline constexpr std::int32_t kApplicationId = 0x5459464C;

// Makes the freshly opened db the history. A database that is not
// Tidyfold's (another application_id, a user_version or tables Tidyfold
// never wrote), or one written by a later Tidyfold, is refused before
// anything in it is changed. A new file, or a history of an earlier
// Tidyfold, then gets its modes (WAL, full syncs), the tables it lacks and
// the application id.
void PrepareHistory(Database& db);

}  // namespace tidyfold::history
