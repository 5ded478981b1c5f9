#pragma once

// The record of one pass as it runs: the journal the engine writes to.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/Clock.h"
#include "engine/PassJournal.h"
#include "history/Records.h"

namespace tidyfold::history {

class Database;
class Statement;

class PassRecorder : public PassJournal {
public:
    // How many intents one transaction records. Each commit of the history
    // costs a flush of its log to the disk (about 1 ms on an SSD, far more
    // on a busy disk), and a pass that is killed leaves at most this many
    // actions for recovery to look at on the disk; a few hundred keeps the
    // flushes to a few per thousand files without making recovery any
    // slower that a person would notice.
    static constexpr std::size_t kBatch = 512;

    // Records the start of a pass; used through History::Begin.
    PassRecorder(std::shared_ptr<Database> db, std::int64_t pass, Clock clock);
    ~PassRecorder() override;

    std::int64_t Id() const noexcept { return pass_; }

    std::size_t Intend(std::span<const JournalEntry> upcoming, std::int64_t& first) override;
    void Record(std::int64_t id, const JournalResult& result) override;
    void Flush() override;

    // The same for restores, which the engine does not make.
    std::size_t IntendRestores(std::span<const Intent> upcoming, std::int64_t& first);

    // Writes the outcomes kept so far and how the pass ended. Throws; a pass
    // whose end cannot be written is left to recovery.
    void End(PassEnding ending, const std::string& error = {});

private:
    template <typename Source>
    std::size_t IntendAll(std::span<const Source> upcoming, std::int64_t& first);
    void InsertIntent(const Intent& intent);
    void WriteOutcomes();

    struct Kept {
        std::int64_t id;
        JournalResult result;
    };

    std::shared_ptr<Database> db_;
    std::int64_t pass_;
    Clock clock_;
    std::vector<Kept> kept_;
    bool ended_ = false;
    std::unique_ptr<Statement> insert_;
    std::unique_ptr<Statement> outcome_;
};

}  // namespace tidyfold::history
