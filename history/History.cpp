#include "history/History.h"

#include <set>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "history/Owner.h"
#include "history/PassRecorder.h"
#include "history/Rows.h"
#include "history/Schema.h"
#include "history/Sqlite.h"
#include "shell/StateFolder.h"

namespace tidyfold::history {

History::History(const std::string& path, Clock clock)
    : db_(std::make_shared<Database>(path)), clock_(clock ? std::move(clock) : SystemClock()) {
    PrepareHistory(*db_);
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
    // Private to the user, as state folders are; a ~/.local/state that is
    // a link into a dotfile collection is kept and used. The database itself
    // is opened refusing any link, so it is opened by the folder's real path.
    const std::string folder = fs::ParentPath(path);
    fs::CreateFolderPath(folder, 0700);
    return std::make_unique<History>(fs::RealFolderPath(folder) + "/history.sqlite", std::move(clock));
}

const std::string& History::Path() const { return db_->Path(); }

void History::SetBusyWait(int milliseconds) { db_->SetBusyWait(milliseconds); }

std::vector<RecoveredPass> History::Recover() { return RecoverPasses(*db_, clock_); }

std::unique_ptr<PassRecorder> History::Begin(const PassStart& start) {
    // A pass never starts on top of one that never ended: what that one left
    // (a copy in both places, temporary files) is put right first.
    Recover();
    Statement insert = db_->Prepare(
"INSERT INTO passes(started, kind, mode, desktop, offload, undoes, owner, origin) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
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
    insert.Bind(7, ThisProgram()).Bind(8, Code(start.origin)).Run("cannot write the history");
    return std::make_unique<PassRecorder>(db_, db_->LastInsertId(), clock_);
}

std::vector<PassRecord> History::Passes(std::size_t limit) const { return LoadPasses(*db_, limit); }

std::optional<PassRecord> History::Pass(std::int64_t id) const { return LoadPass(*db_, id); }

std::vector<ActionRecord> History::Actions(std::int64_t pass) const { return LoadActions(*db_, pass); }

std::vector<ActionRecord> History::Actions(std::int64_t pass, const std::vector<std::int64_t>& ids) const {
    const std::set<std::int64_t> wanted(ids.begin(), ids.end());
    std::vector<ActionRecord> actions = LoadActions(*db_, pass);
    std::erase_if(actions, [&](const ActionRecord& action) { return wanted.count(action.id) == 0; });
    return actions;
}

}  // namespace tidyfold::history
