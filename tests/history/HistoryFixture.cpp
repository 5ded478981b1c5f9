#include "tests/history/HistoryFixture.h"

namespace tidyfold::test {

void HistoryTest::SetUp() {
    fs::fault::Reset();
    MakeDirs(dir_ / "state");
    history_ = std::make_unique<history::History>(DbPath(), [this] { return now_; });
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
    start.desktop = dir_ / "Desktop";
    start.offload = dir_ / "Trash";
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
