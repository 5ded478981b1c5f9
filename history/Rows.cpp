#include "history/Rows.h"

#include <unordered_map>

namespace tidyfold::history {

namespace {

constexpr const char* kPassColumns =
    "p.id, p.started, p.ended, p.kind, p.mode, p.desktop, p.offload, p.ending, p.error, p.undoes, p.actions, "
    "p.done, p.not_done, p.origin, p.collected, p.processed";

// An action's outcome: its row in outcomes, else done up to the pass's mark.
#define TIDYFOLD_OUTCOME(a, o, p) \
    "coalesce(" o ".outcome, CASE WHEN " a ".id <= " p ".settled THEN 'done' ELSE 'pending' END)"

// ?3 is the pass's settled mark.
constexpr const char* kActionQuery =
    "SELECT a.id, a.pass, a.action, a.entry, a.path, coalesce(o.destination, a.destination), a.device, a.inode, "
    "a.size, a.atime, a.mtime, a.ctime, a.mode, coalesce(o.outcome, CASE WHEN a.id <= ?3 THEN 'done' ELSE "
    "'pending' END), coalesce(o.note, ''), a.undoes, CASE WHEN a.undoes IS NULL THEN NULL ELSE (SELECT u.action "
    "FROM actions u WHERE u.id = a.undoes) END FROM actions a LEFT JOIN outcomes o ON o.action = a.id "
    "WHERE a.id BETWEEN ?1 AND ?2";

// The Undo passes that put something back, newest last: of one pass (?1),
// or of every pass (?1 NULL).
constexpr const char* kUndoneQuery =
    "SELECT undoes, max(id) FROM passes WHERE kind = 'undo' AND undoes IS NOT NULL AND (?1 IS NULL OR undoes = ?1) "
    "AND coalesce(done, 1) > 0 GROUP BY undoes";

// The actions of a pass that a restore put back, and the pass of that
// restore: one look along the index of restores.
constexpr const char* kRestoredQuery =
    "SELECT r.undoes, r.pass FROM actions r JOIN passes rp ON rp.id = r.pass LEFT JOIN outcomes ro ON "
    "ro.action = r.id WHERE r.undoes BETWEEN ?1 AND ?2 AND " TIDYFOLD_OUTCOME("r", "ro", "rp") " = 'done'";

struct Counts {
    std::int64_t actions = 0, done = 0, notDone = 0;
};

// One look at every action of the pass: counted when it is settled, and
// for a pass still under way whenever it is shown.
Counts CountNow(Database& db, std::int64_t pass) {
    Statement query = db.Prepare(
        "SELECT count(*), coalesce(sum(" TIDYFOLD_OUTCOME("a", "o", "p") " = 'done'), 0), coalesce(sum("
        TIDYFOLD_OUTCOME("a", "o", "p") " IN ('failed', 'skipped', 'interrupted')), 0) FROM actions a JOIN passes p "
        "ON p.id = a.pass LEFT JOIN outcomes o ON o.action = a.id WHERE a.id BETWEEN ?1 AND ?2");
    query.Bind(1, FirstActionId(pass)).Bind(2, LastActionId(pass));
    Counts counts;
    if (query.Step()) {
        counts.actions = query.Int(0);
        counts.done = query.Int(1);
        counts.notDone = query.Int(2);
    }
    return counts;
}

PassRecord PassFrom(Database& db, const Statement& row) {
    PassRecord pass;
    pass.id = row.Int(0);
    pass.started = row.Int(1);
    pass.ended = row.OptionalInt(2);
    pass.kind = PassKindFrom(row.Text(3)).value_or(PassKind::CleanDesktop);
    if (!row.IsNull(4))
        pass.mode = static_cast<int>(row.Int(4));
    pass.desktop = row.Text(5);
    pass.offload = row.Text(6);
    pass.ending = PassEndingFrom(row.Text(7)).value_or(PassEnding::Running);
    pass.error = row.Text(8);
    pass.undoes = row.OptionalInt(9).value_or(0);
    pass.origin = PassOriginFrom(row.Text(13)).value_or(PassOrigin::Unknown);
    if (const std::optional<std::int64_t> collected = row.OptionalInt(14))
        pass.collected = static_cast<std::int32_t>(*collected);
    if (const std::optional<std::int64_t> processed = row.OptionalInt(15))
        pass.processed = static_cast<std::int32_t>(*processed);
    if (row.IsNull(10)) {
        // Not settled yet: counted as it stands.
        const Counts counts = CountNow(db, pass.id);
        pass.actions = counts.actions;
        pass.done = counts.done;
        pass.notDone = counts.notDone;
    } else {
        pass.actions = row.Int(10);
        pass.done = row.Int(11);
        pass.notDone = row.Int(12);
    }
    return pass;
}

ActionRecord ActionFrom(const Statement& row) {
    ActionRecord action;
    action.id = row.Int(0);
    action.pass = row.Int(1);
    action.kind = ActionKindFrom(row.Text(2)).value_or(ActionKind::Move);
    action.entry = EntryKindFrom(row.Text(3)).value_or(fs::EntryKind::Other);
    action.relative = row.Text(4);
    action.destination = row.Text(5);
    action.id_seen = fs::Identity{static_cast<std::uint64_t>(row.Int(6)), static_cast<std::uint64_t>(row.Int(7))};
    action.size = static_cast<std::uint64_t>(row.Int(8));
    action.times = fs::FileTimes{row.Int(9), row.Int(10), row.Int(11)};
    action.mode = static_cast<std::uint32_t>(row.Int(12));
    action.outcome = ActionOutcomeFrom(row.Text(13)).value_or(ActionOutcome::Pending);
    action.note = row.Text(14);
    action.undoes = row.OptionalInt(15).value_or(0);
    if (!row.IsNull(16))
        action.undid = ActionKindFrom(row.Text(16));
    return action;
}

std::unordered_map<std::int64_t, std::int64_t> UndoneBy(Database& db, std::optional<std::int64_t> pass) {
    Statement query = db.Prepare(kUndoneQuery);
    if (pass)
        query.Bind(1, *pass);
    else
        query.BindNull(1);
    std::unordered_map<std::int64_t, std::int64_t> undone;
    while (query.Step())
        undone.emplace(query.Int(0), query.Int(1));
    return undone;
}

}  // namespace

std::optional<PassRecord> LoadPass(Database& db, std::int64_t pass) {
    Statement query = db.Prepare((std::string("SELECT ") + kPassColumns + " FROM passes p WHERE p.id = ?").c_str());
    query.Bind(1, pass);
    if (!query.Step())
        return std::nullopt;
    PassRecord record = PassFrom(db, query);
    query.Reset();
    const auto undone = UndoneBy(db, pass);
    if (const auto by = undone.find(pass); by != undone.end())
        record.undoneBy = by->second;
    return record;
}

std::vector<PassRecord> LoadPasses(Database& db, std::size_t limit) {
    Statement query =
        db.Prepare((std::string("SELECT ") + kPassColumns + " FROM passes p ORDER BY p.id DESC LIMIT ?").c_str());
    query.Bind(1, limit > 0 ? static_cast<std::int64_t>(limit) : std::int64_t{-1});
    std::vector<PassRecord> passes;
    while (query.Step())
        passes.push_back(PassFrom(db, query));
    const auto undone = UndoneBy(db, std::nullopt);
    for (PassRecord& pass : passes)
        if (const auto by = undone.find(pass.id); by != undone.end())
            pass.undoneBy = by->second;
    return passes;
}

std::vector<ActionRecord> LoadActions(Database& db, std::int64_t pass, const std::string& where,
                                      const std::vector<std::int64_t>& binds) {
    std::string sql = kActionQuery;
    if (!where.empty())
        sql += " AND (" + where + ")";
    sql += " ORDER BY a.id";
    std::unordered_map<std::int64_t, std::int64_t> restoredBy;
    Statement restored = db.Prepare(kRestoredQuery);
    restored.Bind(1, FirstActionId(pass)).Bind(2, LastActionId(pass));
    while (restored.Step())
        restoredBy.emplace(restored.Int(0), restored.Int(1));
    Statement mark = db.Prepare("SELECT settled FROM passes WHERE id = ?");
    mark.Bind(1, pass);
    const std::int64_t settled = mark.Step() ? mark.Int(0) : 0;
    Statement query = db.Prepare(sql.c_str());
    query.Bind(1, FirstActionId(pass)).Bind(2, LastActionId(pass)).Bind(3, settled);
    for (std::size_t i = 0; i < binds.size(); ++i)
        query.Bind(static_cast<int>(i) + 4, binds[i]);
    // Few removals of unpacked folders keep an archive: one look along
    // the key.
    std::unordered_map<std::int64_t, ArchiveSeen> archives;
    Statement archive = db.Prepare("SELECT action, name, size, mtime FROM archives WHERE action BETWEEN ? AND ?");
    archive.Bind(1, FirstActionId(pass)).Bind(2, LastActionId(pass));
    while (archive.Step())
        archives.emplace(archive.Int(0), ArchiveSeen{archive.Text(1), static_cast<std::uint64_t>(archive.Int(2)),
                                                     archive.Int(3)});
    std::vector<ActionRecord> actions;
    while (query.Step()) {
        actions.push_back(ActionFrom(query));
        if (const auto by = restoredBy.find(actions.back().id); by != restoredBy.end())
            actions.back().restoredBy = by->second;
        if (const auto seen = archives.find(actions.back().id); seen != archives.end())
            actions.back().archive = seen->second;
    }
    return actions;
}

void StoreCounts(Database& db, std::int64_t pass) {
    const Counts counts = CountNow(db, pass);
    StoreCounts(db, pass, counts.actions, counts.done, counts.notDone);
}

void StoreCounts(Database& db, std::int64_t pass, std::int64_t actions, std::int64_t done, std::int64_t notDone) {
    Statement store = db.Prepare("UPDATE passes SET actions = ?, done = ?, not_done = ? WHERE id = ?");
    store.Bind(1, actions).Bind(2, done).Bind(3, notDone).Bind(4, pass).Run("cannot write the history");
}

}  // namespace tidyfold::history
