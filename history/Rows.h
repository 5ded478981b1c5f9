#pragma once

// Reading passes and actions from the database, shared by the queries,
// recovery and restore. The outcome of an action is its row in outcomes,
// else "done" when its pass has settled it, else "pending" (Schema.cpp).

#include <cstdint>
#include <string>
#include <vector>

#include "history/Records.h"
#include "history/Sqlite.h"

namespace tidyfold::history {

// The ids of the actions of pass: one range.
inline std::int64_t FirstActionId(std::int64_t pass) { return pass << 32; }
inline std::int64_t LastActionId(std::int64_t pass) { return (pass << 32) + 0xFFFFFFFFLL; }

// The pass with its counts (counted now when it is not settled yet).
std::optional<PassRecord> LoadPass(Database& db, std::int64_t pass);
std::vector<PassRecord> LoadPasses(Database& db, std::size_t limit);

// The actions of pass for which where holds ("" for all), in order. where
// may name a (the action), o (its outcome row) and ?3 (the pass's settled
// mark); binds continue from ?4.
std::vector<ActionRecord> LoadActions(Database& db, std::int64_t pass, const std::string& where = {},
                                      const std::vector<std::int64_t>& binds = {});

// Counts the actions of pass by outcome and stores the counts with it.
void StoreCounts(Database& db, std::int64_t pass);
// Stores counts already known (a pass that recorded every outcome itself).
void StoreCounts(Database& db, std::int64_t pass, std::int64_t actions, std::int64_t done, std::int64_t notDone);

}  // namespace tidyfold::history
