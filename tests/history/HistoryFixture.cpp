#include "tests/history/HistoryFixture.h"

namespace tidyfold::test {

void HistoryTest::SetUp() {
    fs::fault::Reset();
    MakeDirs(dir_ / "state");
    history_ = std::make_unique<history::History>(DbPath(), [this] { return now_; });
}

JournalEntry HistoryTest::Seen(const std::string& relative, JournalAction action) const {
    const std::string path = Desktop() + "/" + relative;
    const std::size_t slash = path.rfind('/');
    const std::optional<fs::Entry> entry = fs::OpenFolder::Open(path.substr(0, slash)).Stat(path.substr(slash + 1));
    EXPECT_TRUE(entry.has_value()) << relative;
    JournalEntry seen;
    seen.action = action;
    seen.relative = relative;
    if (action == JournalAction::Move || action == JournalAction::CopyThenDelete)
        seen.destination = relative;
    if (entry) {
        seen.kind = entry->kind;
        seen.id = entry->id;
        seen.size = entry->size;
        seen.times = entry->times;
        seen.mode = entry->mode;
    }
    return seen;
}

std::int64_t HistoryTest::Killed(const std::vector<JournalEntry>& entries) {
    auto pass = Begin();
    JournalQueue queue(pass.get(), entries);
    for (std::size_t i = 0; i < entries.size(); ++i)
        queue.Before(i);
    return pass->Id();
}

std::int64_t HistoryTest::Completed(const std::vector<JournalEntry>& entries) {
    auto pass = Begin();
    JournalQueue queue(pass.get(), entries);
    for (std::size_t i = 0; i < entries.size(); ++i)
        queue.After(queue.Before(i), {JournalOutcome::Done, "", ""});
    pass->End(history::PassEnding::Completed);
    return pass->Id();
}

history::ActionRecord HistoryTest::ActionAt(std::int64_t pass, const std::string& relative) const {
    for (const history::ActionRecord& action : history_->Actions(pass))
        if (action.relative == relative && action.kind != history::ActionKind::Restore)
            return action;
    ADD_FAILURE() << "no action for " << relative;
    return {};
}

std::int64_t HistoryTest::Restorable(std::int64_t pass) const {
    std::int64_t count = 0;
    for (const history::ActionRecord& action : history_->Actions(pass))
        count += action.CanRestore() ? 1 : 0;
    return count;
}

void HistoryTest::TearDown() {
    history_.reset();
    fs::fault::Reset();
}

std::unique_ptr<history::History> HistoryTest::Reopen() const {
    return std::make_unique<history::History>(DbPath(), [this] { return now_; });
}

std::unique_ptr<history::PassRecorder> HistoryTest::Begin(history::PassKind kind) {
    history::PassStart start;
    start.kind = kind;
    if (kind == history::PassKind::CleanDesktop)
        start.mode = 1;
    start.desktop = Desktop();
    start.offload = Offload();
    return history_->Begin(start);
}

JournalEntry HistoryTest::Entry(const std::string& relative, JournalAction action) {
    JournalEntry entry;
    entry.action = action;
    entry.relative = relative;
    if (action == JournalAction::Move || action == JournalAction::CopyThenDelete)
        entry.destination = relative;
    entry.id = fs::Identity{2049, 1000 + relative.size()};
    entry.size = 64;
    entry.times = fs::FileTimes{1'700'000'000'123'456'789, 1'600'000'000'000'000'001, 1'650'000'000'000'000'002};
    entry.mode = 0640;
    return entry;
}

std::vector<JournalEntry> HistoryTest::Entries(std::size_t count, JournalAction action) {
    std::vector<JournalEntry> entries;
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back(Entry("folder " + std::to_string(i / 100) + "/file " + std::to_string(i), action));
    return entries;
}

}  // namespace tidyfold::test
