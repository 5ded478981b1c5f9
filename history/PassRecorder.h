#pragma once

// The record of one pass as it runs: the journal the engine writes to.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/Clock.h"
#include "engine/PassJournal.h"
#include "history/Records.h"

namespace tidyfold::history {

class Database;
class Statement;

class PassRecorder : public PassJournal {
public:
    // How many intents one transaction records. Each commit costs a flush of
    // the history's log to the disk, about 4 ms on the disk of the
    // benchmarks, and that flush is nearly all the history costs a pass of
    // small moves: 4,096 makes it five flushes for 20,000 files. A pass that
    // is killed leaves at most this many actions for recovery to look at
    // again, a few stats each, which takes well under a second.
    static constexpr std::size_t kBatch = 4096;

    // Records the start of a pass; used through History::Begin.
    PassRecorder(std::shared_ptr<Database> db, std::int64_t pass, Clock clock);
    ~PassRecorder() override;

    std::int64_t Id() const noexcept { return pass_; }

    void Folders(const std::string& desktop, const std::string& offload) override;
    std::size_t Intend(std::span<const JournalEntry> upcoming, std::int64_t& first) override;
    void Record(std::int64_t id, const JournalResult& result) override;
    void Flush() override;

    // The same for restores, which the engine does not make.
    std::size_t IntendRestores(std::span<const Intent> upcoming, std::int64_t& first);

    // Writes the outcomes kept so far and how the pass ended; an action the
    // pass was in the middle of (an error ended it there) is then marked
    // done or not from the disk, as recovery would. Throws; a pass whose end
    // cannot be written is left to recovery.
    void End(PassEnding ending, const std::string& error = {});

    // A Desktop clean's files, collected and handled: written with the end.
    void Files(std::int32_t collected, std::int32_t processed) { files_.emplace(collected, processed); }

private:
    template <typename Source>
    std::size_t IntendAll(std::span<const Source> upcoming, std::int64_t& first);
    // Binds the row of one intent from parameter first on.
    void BindIntent(Statement& insert, int first, ActionKind kind, const JournalEntry& entry, std::int64_t undoes);
    // Writes what was kept since the last transaction: the folders, the
    // outcomes that are not a plain "done", the settled mark.
    void WriteKept();
    void Written();
    // The archive of the unpacked folder of action id.
    void RecordArchive(std::int64_t id, const ArchiveSeen& archive);

    struct Kept {
        std::int64_t id;
        JournalResult result;
    };

    std::shared_ptr<Database> db_;
    std::int64_t pass_;
    Clock clock_;
    std::int64_t next_;        // the id the next intent gets
    std::int64_t settled_;     // every action up to this one has its outcome
    std::int64_t written_;     // the settled mark as the database has it
    std::set<std::int64_t> ahead_;  // outcomes recorded beyond settled_ + 1
    std::int64_t done_ = 0;         // outcomes recorded, by kind
    std::int64_t notDone_ = 0;
    std::vector<Kept> kept_;
    std::optional<std::pair<std::string, std::string>> folders_;
    bool ended_ = false;
    std::optional<std::pair<std::int32_t, std::int32_t>> files_;
    std::unique_ptr<Statement> insert_;
    std::unique_ptr<Statement> insertMany_;
    std::unique_ptr<Statement> outcome_;
};

}  // namespace tidyfold::history
