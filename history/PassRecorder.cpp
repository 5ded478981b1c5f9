#include "history/PassRecorder.h"

#include <algorithm>

#include "history/Owner.h"
#include "history/Sqlite.h"

namespace tidyfold::history {

namespace {

constexpr const char* kWriteError = "cannot write the history";

constexpr const char* kInsert =
    "INSERT INTO actions(pass, action, entry, path, destination, device, inode, size, atime, mtime, ctime, "
    "mode, undoes) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
// A destination that differs from the one intended replaces it.
constexpr const char* kOutcome =
    "UPDATE actions SET outcome = ?, note = ?, destination = coalesce(?, destination) WHERE id = ?";

ActionOutcome OutcomeOf(JournalOutcome outcome) {
    switch (outcome) {
        case JournalOutcome::Done:
            return ActionOutcome::Done;
        case JournalOutcome::Failed:
            return ActionOutcome::Failed;
        case JournalOutcome::Skipped:
            return ActionOutcome::Skipped;
    }
    return ActionOutcome::Failed;
}

Intent IntentOf(const JournalEntry& entry) { return Intent{KindOf(entry.action), entry, 0}; }
const Intent& IntentOf(const Intent& intent) { return intent; }

}  // namespace

PassRecorder::PassRecorder(std::shared_ptr<Database> db, std::int64_t pass, Clock clock)
    : db_(std::move(db)), pass_(pass), clock_(std::move(clock)), 
      insert_(std::make_unique<Statement>(db_->Prepare(kInsert))),
      outcome_(std::make_unique<Statement>(db_->Prepare(kOutcome))) {
    MarkRecording(pass_);
}

PassRecorder::~PassRecorder() {
    // A pass dropped without End (its front end failed) is left to recovery,
    // which will find it unended; what it did is written if that is possible.
    if (!ended_) {
        try {
            Flush();
        } catch (...) {
        }
    }
    MarkNotRecording(pass_);
}

void PassRecorder::InsertIntent(const Intent& intent) {
    const JournalEntry& e = intent.entry;
    insert_->Bind(1, pass_)
        .Bind(2, Code(intent.kind))
        .Bind(3, Code(e.kind))
        .BindBytes(4, e.relative)
        .BindBytes(5, e.destination)
        .Bind(6, static_cast<std::int64_t>(e.id.device))
        .Bind(7, static_cast<std::int64_t>(e.id.inode))
        .Bind(8, static_cast<std::int64_t>(e.size))
        .Bind(9, e.times.access_ns)
        .Bind(10, e.times.modify_ns)
        .Bind(11, e.times.change_ns)
        .Bind(12, static_cast<std::int64_t>(e.mode));
    if (intent.undoes != 0)
        insert_->Bind(13, intent.undoes);
    else
        insert_->BindNull(13);
    insert_->Run(kWriteError);
}

void PassRecorder::WriteOutcomes() {
    for (const Kept& kept : kept_) {
        outcome_->Bind(1, Code(OutcomeOf(kept.result.outcome))).Bind(2, kept.result.note);
        if (kept.result.destination.empty())
            outcome_->BindNull(3);
        else
            outcome_->BindBytes(3, kept.result.destination);
        outcome_->Bind(4, kept.id).Run(kWriteError);
    }
}

template <typename Source>
std::size_t PassRecorder::IntendAll(std::span<const Source> upcoming, std::int64_t& first) {
    const std::size_t count = std::min(upcoming.size(), kBatch);
    Transaction transaction(*db_);
    WriteOutcomes();
    for (std::size_t i = 0; i < count; ++i) {
        InsertIntent(IntentOf(upcoming[i]));
        if (i == 0)
            first = db_->LastInsertId();
    }
    transaction.Commit();
    // Only once they are on disk: a failed commit keeps them for the next try.
    kept_.clear();
    return count;
}

std::size_t PassRecorder::Intend(std::span<const JournalEntry> upcoming, std::int64_t& first) {
    return IntendAll(upcoming, first);
}

std::size_t PassRecorder::IntendRestores(std::span<const Intent> upcoming, std::int64_t& first) {
    return IntendAll(upcoming, first);
}

void PassRecorder::Record(std::int64_t id, const JournalResult& result) { kept_.push_back(Kept{id, result}); }

void PassRecorder::Flush() {
    if (kept_.empty())
        return;
    Transaction transaction(*db_);
    WriteOutcomes();
    transaction.Commit();
    kept_.clear();
}

void PassRecorder::End(PassEnding ending, const std::string& error) {
    Transaction transaction(*db_);
    WriteOutcomes();
    Statement end = db_->Prepare("UPDATE passes SET ended = ?, ending = ?, error = ? WHERE id = ?");
    end.Bind(1, clock_()).Bind(2, Code(ending)).Bind(3, error).Bind(4, pass_).Run(kWriteError);
    transaction.Commit();
    kept_.clear();
    ended_ = true;
}

}  // namespace tidyfold::history
