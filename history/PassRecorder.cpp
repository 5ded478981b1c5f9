#include "history/PassRecorder.h"

#include <algorithm>

#include "base/Error.h"
#include "history/Owner.h"
#include "history/Recovery.h"
#include "history/Rows.h"
#include "history/Sqlite.h"

namespace tidyfold::history {

namespace {

constexpr const char* kWriteError = "cannot write the history";

// Intents go in many rows to a statement: one statement per row would cost
// half again as much.
constexpr std::size_t kRowsPerInsert = 64;
constexpr int kColumns = 14;

std::string InsertRows(std::size_t rows) {
    std::string sql =
        "INSERT INTO actions(id, pass, action, entry, path, destination, device, inode, size, atime, mtime, ctime, "
        "mode, undoes) VALUES";
    for (std::size_t row = 0; row < rows; ++row)
        sql += row == 0 ? "(?,?,?,?,?,?,?,?,?,?,?,?,?,?)" : ",(?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    return sql;
}
constexpr const char* kOutcome = "INSERT OR REPLACE INTO outcomes(action, outcome, note, destination) VALUES(?, ?, ?, ?)";

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

// Done as intended: nothing to write but the settled mark.
bool Plain(const JournalResult& result) {
    return result.outcome == JournalOutcome::Done && result.note.empty() && result.destination.empty();
}

// What each kind of upcoming entry records, without copying it.
ActionKind KindIn(const JournalEntry& entry) { return KindOf(entry.action); }
ActionKind KindIn(const Intent& intent) { return intent.kind; }
const JournalEntry& EntryIn(const JournalEntry& entry) { return entry; }
const JournalEntry& EntryIn(const Intent& intent) { return intent.entry; }
std::int64_t UndoesIn(const JournalEntry&) { return 0; }
std::int64_t UndoesIn(const Intent& intent) { return intent.undoes; }

}  // namespace

PassRecorder::PassRecorder(std::shared_ptr<Database> db, std::int64_t pass, Clock clock)
    : db_(std::move(db)),
      pass_(pass),
      clock_(std::move(clock)),
      next_(FirstActionId(pass) + 1),
      settled_(FirstActionId(pass)),
      written_(FirstActionId(pass)),
      insert_(std::make_unique<Statement>(db_->Prepare(InsertRows(1).c_str()))),
      insertMany_(std::make_unique<Statement>(db_->Prepare(InsertRows(kRowsPerInsert).c_str()))),
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

// Binds intent as the row that starts at parameter first.
void PassRecorder::BindIntent(Statement& insert, int first, ActionKind kind, const JournalEntry& e,
                              std::int64_t undoes) {
    if (next_ > LastActionId(pass_))
        throw Error::Refused("A pass cannot record more than 4,294,967,295 actions.", db_->Path());
    insert.Bind(first, next_++)
        .Bind(first + 1, pass_)
        .Bind(first + 2, Code(kind), Lifetime::UntilRun)
        .Bind(first + 3, Code(e.kind), Lifetime::UntilRun)
        .BindBytes(first + 4, e.relative, Lifetime::UntilRun)
        .BindBytes(first + 5, e.destination, Lifetime::UntilRun)
        .Bind(first + 6, static_cast<std::int64_t>(e.id.device))
        .Bind(first + 7, static_cast<std::int64_t>(e.id.inode))
        .Bind(first + 8, static_cast<std::int64_t>(e.size))
        .Bind(first + 9, e.times.access_ns)
        .Bind(first + 10, e.times.modify_ns)
        .Bind(first + 11, e.times.change_ns)
        .Bind(first + 12, static_cast<std::int64_t>(e.mode));
    if (undoes != 0)
        insert.Bind(first + 13, undoes);
    else
        insert.BindNull(first + 13);
}

void PassRecorder::RecordArchive(std::int64_t id, const ArchiveSeen& archive) {
    Statement insert = db_->Prepare("INSERT INTO archives(action, name, size, mtime) VALUES(?, ?, ?, ?)");
    insert.Bind(1, id)
        .BindBytes(2, archive.name)
        .Bind(3, static_cast<std::int64_t>(archive.size))
        .Bind(4, archive.modify_ns)
        .Run(kWriteError);
}

void PassRecorder::Folders(const std::string& desktop, const std::string& offload) {
    folders_.emplace(desktop, offload);
}

void PassRecorder::WriteKept() {
    if (folders_) {
        Statement update = db_->Prepare("UPDATE passes SET desktop = ?, offload = ? WHERE id = ?");
        update.BindBytes(1, folders_->first).BindBytes(2, folders_->second).Bind(3, pass_).Run(kWriteError);
    }
    for (const Kept& kept : kept_) {
        outcome_->Bind(1, kept.id).Bind(2, Code(OutcomeOf(kept.result.outcome))).Bind(3, kept.result.note);
        if (kept.result.destination.empty())
            outcome_->BindNull(4);
        else
            outcome_->BindBytes(4, kept.result.destination);
        outcome_->Run(kWriteError);
    }
    if (settled_ != written_) {
        Statement mark = db_->Prepare("UPDATE passes SET settled = ? WHERE id = ?");
        mark.Bind(1, settled_).Bind(2, pass_).Run(kWriteError);
    }
}

// Only once the transaction is on disk: a failed commit keeps all of it for
// the next try.
void PassRecorder::Written() {
    kept_.clear();
    folders_.reset();
    written_ = settled_;
}

template <typename Source>
std::size_t PassRecorder::IntendAll(std::span<const Source> upcoming, std::int64_t& first) {
    const std::size_t count = std::min(upcoming.size(), kBatch);
    const std::int64_t start = next_;
    Transaction transaction(*db_);
    try {
        WriteKept();
        std::size_t i = 0;
        for (; i + kRowsPerInsert <= count; i += kRowsPerInsert) {
            for (std::size_t row = 0; row < kRowsPerInsert; ++row) {
                const Source& next = upcoming[i + row];
                BindIntent(*insertMany_, static_cast<int>(row) * kColumns + 1, KindIn(next), EntryIn(next),
                           UndoesIn(next));
            }
            insertMany_->Run(kWriteError);
        }
        for (; i < count; ++i) {
            BindIntent(*insert_, 1, KindIn(upcoming[i]), EntryIn(upcoming[i]), UndoesIn(upcoming[i]));
            insert_->Run(kWriteError);
        }
        for (std::size_t j = 0; j < count; ++j)
            if (const std::optional<ArchiveSeen>& archive = EntryIn(upcoming[j]).archive)
                RecordArchive(start + static_cast<std::int64_t>(j), *archive);
        transaction.Commit();
    } catch (...) {
        next_ = start;  // the rolled-back ids are given again
        throw;
    }
    Written();
    first = start;
    return count;
}

std::size_t PassRecorder::Intend(std::span<const JournalEntry> upcoming, std::int64_t& first) {
    return IntendAll(upcoming, first);
}

std::size_t PassRecorder::IntendRestores(std::span<const Intent> upcoming, std::int64_t& first) {
    return IntendAll(upcoming, first);
}

void PassRecorder::Record(std::int64_t id, const JournalResult& result) {
    ++(result.outcome == JournalOutcome::Done ? done_ : notDone_);
    if (!Plain(result) || id != settled_ + 1)
        kept_.push_back(Kept{id, result});
    if (id != settled_ + 1) {
        ahead_.insert(id);
        return;
    }
    settled_ = id;
    // Outcomes that came early are written rows; the mark may pass them.
    while (ahead_.erase(settled_ + 1) != 0)
        ++settled_;
}

void PassRecorder::Flush() {
    if (kept_.empty() && !folders_ && settled_ == written_)
        return;
    Transaction transaction(*db_);
    WriteKept();
    transaction.Commit();
    Written();
}

void PassRecorder::End(PassEnding ending, const std::string& error) {
    // Every action has its outcome (the usual end) when the mark has reached
    // the last intent: the pass is settled in the same transaction.
    const bool settled = ahead_.empty() && settled_ == next_ - 1;
    Transaction transaction(*db_);
    WriteKept();
    Statement end = db_->Prepare("UPDATE passes SET ended = ?, ending = ?, error = ? WHERE id = ?");
    end.Bind(1, clock_()).Bind(2, Code(ending)).Bind(3, error).Bind(4, pass_).Run(kWriteError);
    if (files_) {
        Statement files = db_->Prepare("UPDATE passes SET collected = ?, processed = ? WHERE id = ?");
        files.Bind(1, std::int64_t{files_->first}).Bind(2, std::int64_t{files_->second}).Bind(3, pass_).Run(kWriteError);
    }
    if (settled)
        StoreCounts(*db_, pass_, next_ - 1 - FirstActionId(pass_), done_, notDone_);
    transaction.Commit();
    Written();
    ended_ = true;
    if (settled)
        return;
    try {
        Settle(*db_, pass_);
    } catch (const Error&) {
        // The pass has ended; what could not be looked at now is looked at
        // again at the next start (RecoverPasses).
    }
}

}  // namespace tidyfold::history
