#pragma once

// A temporary folder with a history in it, a clock the test sets, and a
// disarmed fault seam before and after every test.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/PassJournal.h"
#include "fs/Fault.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "tests/support/TempDir.h"

namespace tidyfold::test {

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string DbPath() const { return dir_ / "state/history.sqlite"; }
    // A second connection to the same file: what another program (or the
    // next start) would read.
    std::unique_ptr<history::History> Reopen() const;

    std::unique_ptr<history::PassRecorder> Begin(history::PassKind kind = history::PassKind::CleanDesktop);

    std::string Desktop() const { return dir_ / "Desktop"; }
    std::string Offload() const { return offload_.empty() ? dir_ / "Trash" : offload_; }
    // The journal entry of the Desktop entry at relative as it is now, as
    // the engine would record it before acting on it.
    JournalEntry Seen(const std::string& relative, JournalAction action = JournalAction::Move) const;
    // A pass that recorded entries as about to be carried out and was then
    // killed: its recorder is dropped without an end. Returns its id.
    std::int64_t Killed(const std::vector<JournalEntry>& entries);
    // A pass that carried out every entry (the test moved the files itself)
    // and ended. Returns its id.
    std::int64_t Completed(const std::vector<JournalEntry>& entries);
    history::ActionRecord ActionAt(std::int64_t pass, const std::string& relative) const;
    // How many actions of pass an Undo would still put back.
    std::int64_t Restorable(std::int64_t pass) const;

    // A journal entry for relative, as the engine would give it.
    static JournalEntry Entry(const std::string& relative, JournalAction action = JournalAction::Move);
    static std::vector<JournalEntry> Entries(std::size_t count, JournalAction action = JournalAction::Move);

    TempDir dir_;
    std::int64_t now_ = 1'800'000'000;
    std::string offload_;  // another offload folder than dir_/Trash, when set
    std::unique_ptr<history::History> history_;
};

}  // namespace tidyfold::test
