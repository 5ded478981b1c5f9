#include "history/History.h"

#include <algorithm>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "history/Owner.h"
#include "history/PassRecorder.h"
#include "history/Schema.h"
#include "history/Sqlite.h"
#include "shell/StateFolder.h"

namespace tidyfold::history {

namespace {

constexpr const char* kPassColumns =
    "p.id, p.started, p.ended, p.kind, p.mode, p.desktop, p.offload, p.ending, p.error, p.undoes, "
    "(SELECT count(*) FROM actions a WHERE a.pass = p.id), "
    "(SELECT count(*) FROM actions a WHERE a.pass = p.id AND a.outcome = 'done'), "
    "(SELECT count(*) FROM actions a WHERE a.pass = p.id AND a.outcome IN ('failed', 'skipped', 'interrupted')), "
    "(SELECT count(*) FROM actions a WHERE a.pass = p.id AND a.outcome = 'done' AND a.action IN ('copy', 'move') "
    "AND NOT EXISTS (SELECT 1 FROM actions r WHERE r.undoes = a.id AND r.outcome = 'done'))";

constexpr const char* kActionColumns =
    "a.id, a.pass, a.action, a.entry, a.path, a.destination, a.device, a.inode, a.size, a.atime, a.mtime, "
    "a.ctime, a.mode, a.outcome, a.note, a.undoes, "
    "(SELECT r.pass FROM actions r WHERE r.undoes = a.id AND r.outcome = 'done' ORDER BY r.id LIMIT 1)";

PassRecord PassFrom(const Statement& row) {
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
    pass.actions = row.Int(10);
    pass.done = row.Int(11);
    pass.notDone = row.Int(12);
    pass.restorable = row.Int(13);
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
    action.restoredBy = row.OptionalInt(16).value_or(0);
    return action;
}

// Makes folder and the folders above it that are missing.
void MakeFolders(const std::string& folder) {
    if (folder.empty() || fs::FolderExists(folder))
        return;
    MakeFolders(fs::ParentPath(folder));
    try {
        fs::CreateFolder(folder);
    } catch (const Error& error) {
        // Made by someone else meanwhile is as good.
        if (!error.IsSystem(EEXIST) || !fs::FolderExists(folder))
            throw;
    }
}

}  // namespace

History::History(const std::string& path, Clock clock)
    : db_(std::make_shared<Database>(path)), clock_(clock ? std::move(clock) : SystemClock()) {
    CreateSchema(*db_);
}

History::~History() = default;

std::string History::DefaultPath() {
    const std::string state = StateFolder();
    return state.empty() ? std::string() : state + "/tidyfold/history.sqlite";
}

std::unique_ptr<History> History::OpenDefault(Clock clock) {
    const std::string path = DefaultPath();
    if (path.empty())
        throw Error::Refused("No home folder is known, so there is nowhere to keep the history.");
    MakeFolders(fs::ParentPath(path));
    return std::make_unique<History>(path, std::move(clock));
}

const std::string& History::Path() const { return db_->Path(); }

std::unique_ptr<PassRecorder> History::Begin(const PassStart& start) {
    Statement insert = db_->Prepare(
        "INSERT INTO passes(started, kind, mode, desktop, offload, undoes, owner) VALUES(?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, clock_()).Bind(2, Code(start.kind));
    if (start.mode)
        insert.Bind(3, static_cast<std::int64_t>(*start.mode));
    else
        insert.BindNull(3);
    insert.BindBytes(4, start.desktop).BindBytes(5, start.offload);
    if (start.undoes != 0)
        insert.Bind(6, start.undoes);
    else
        insert.BindNull(6);
    insert.Bind(7, ThisProgram()).Run("cannot write the history");
    return std::make_unique<PassRecorder>(db_, db_->LastInsertId(), clock_);
}

std::vector<PassRecord> History::Passes(std::size_t limit) const {
    Statement query =
        db_->Prepare((std::string("SELECT ") + kPassColumns + " FROM passes p ORDER BY p.id DESC LIMIT ?").c_str());
    query.Bind(1, limit > 0 ? static_cast<std::int64_t>(limit) : std::int64_t{-1});
    std::vector<PassRecord> passes;
    while (query.Step())
        passes.push_back(PassFrom(query));
    return passes;
}

std::optional<PassRecord> History::Pass(std::int64_t id) const {
    Statement query = db_->Prepare((std::string("SELECT ") + kPassColumns + " FROM passes p WHERE p.id = ?").c_str());
    query.Bind(1, id);
    if (!query.Step())
        return std::nullopt;
    return PassFrom(query);
}

std::vector<ActionRecord> History::Actions(std::int64_t pass) const {
    Statement query = db_->Prepare(
        (std::string("SELECT ") + kActionColumns + " FROM actions a WHERE a.pass = ? ORDER BY a.id").c_str());
    query.Bind(1, pass);
    std::vector<ActionRecord> actions;
    while (query.Step())
        actions.push_back(ActionFrom(query));
    return actions;
}

std::vector<ActionRecord> History::Actions(std::int64_t pass, const std::vector<std::int64_t>& ids) const {
    Statement query = db_->Prepare(
        (std::string("SELECT ") + kActionColumns + " FROM actions a WHERE a.id = ? AND a.pass = ?").c_str());
    std::vector<std::int64_t> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<ActionRecord> actions;
    for (std::int64_t id : sorted) {
        query.Bind(1, id).Bind(2, pass);
        if (query.Step())
            actions.push_back(ActionFrom(query));
        query.Reset();
    }
    return actions;
}

}  // namespace tidyfold::history
