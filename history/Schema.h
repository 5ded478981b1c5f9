#pragma once

#include "history/Sqlite.h"

namespace tidyfold::history {

// Creates the tables the history needs, when they are missing. A database
// written by a later version of Tidyfold is refused rather than misread.
void CreateSchema(Database& db);

}  // namespace tidyfold::history
