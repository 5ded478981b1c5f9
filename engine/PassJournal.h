#pragma once

// What a pass tells a journal about the changes it makes on the Desktop, so
// that a record of every change exists before the change itself: a pass
// killed half-way can then be reconciled with the disk, and one that ended
// can be put back. The engine only calls this interface; the history of
// passes implements it. With no journal connected a pass runs as it always
// did.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>

#include "fs/OpenFolder.h"

namespace tidyfold {

// One kind of change to one Desktop entry.
enum class JournalAction {
    CopyThenDelete,        // copied into the offload folder, then removed from the Desktop
    Move,                  // moved into the offload folder
    Delete,                // deleted where it lies (the "delete" transfer mode)
    SendToTrash,           // sent to the desktop Trash (the "Trash" transfer mode)
    DeleteEmptyFile,       // an empty file deleted by the null-file gate
    RemoveUnpackedFolder,  // a folder unpacked beside its archive, removed with its contents
    RemoveEmptyFolder,     // an empty folder removed
    Restore,               // put back from the offload folder by an Undo
};

// The archive an unpacked folder was compared with, as the comparison saw
// it: what tells, when the folder is unpacked again, that the archive is
// still the one that held it.
struct ArchiveSeen {
    std::string name;  // in the folder's own folder
    std::uint64_t size = 0;
    std::int64_t modify_ns = 0;
};

// A change about to be made, with what the pass saw of the entry.
struct JournalEntry {
    JournalAction action = JournalAction::Move;
    fs::EntryKind kind = fs::EntryKind::File;  // File, Link or Folder
    // Where it lies below the Desktop, names joined by "/" ("a/b/x.txt").
    std::string relative;
    // Where a copy or move puts it below the offload folder; empty otherwise.
    std::string destination;
    fs::Identity id;
    std::uint64_t size = 0;
    fs::FileTimes times;
    std::uint32_t mode = 0;  // permission bits
    // For an unpacked folder: its archive.
    std::optional<ArchiveSeen> archive;
};

enum class JournalOutcome {
    Done,     // carried out
    Failed,   // tried and failed; the entry is where it was, unless the note says otherwise
    Skipped,  // left alone on purpose: used or changed since the scan, or gone
};

struct JournalResult {
    JournalOutcome outcome = JournalOutcome::Done;
    // Where the entry went below the offload folder when that is not the
    // destination intended (a name already taken there); empty otherwise.
    std::string destination;
    // Why it failed or was skipped, in words for a person.
    std::string note;
};

class PassJournal {
public:
    virtual ~PassJournal() = default;

    // The folders the pass works in, as it opened them: every relative path
    // of its entries is below one of them. Called before the first Intend
    // (again when an operation of the same pass opens them again); written
    // with the next intents.
    virtual void Folders(const std::string& desktop, const std::string& offload) = 0;

    // Records that the first entries of upcoming are about to be carried out,
    // in this order, together with the outcomes recorded since the last call,
    // and returns once that record is durable. Records at least one entry and
    // returns how many; their ids are first, first + 1, and so on. How many
    // it takes at once is the journal's choice: each call costs a flush.
    // Throws tidyfold::Error when the record cannot be written: none of
    // upcoming may then be carried out.
    virtual std::size_t Intend(std::span<const JournalEntry> upcoming, std::int64_t& first) = 0;
    // The outcome of an entry recorded by Intend. Kept, and written with the
    // next Intend or Flush; never throws for want of a write.
    virtual void Record(std::int64_t id, const JournalResult& result) = 0;
    // Writes the outcomes kept so far. Throws tidyfold::Error.
    virtual void Flush() = 0;
};

// The engine's side of a journal: entries are announced in the order they
// will be carried out, and each is recorded before it is done. Without a
// journal every call does nothing.
class JournalQueue {
public:
    // entries must outlive the queue.
    JournalQueue(PassJournal* journal, std::span<const JournalEntry> entries) : journal_(journal), entries_(entries) {}

    // Call before carrying out entries[index] (indexes in increasing order):
    // makes sure its intent is durable and returns its id (0 without a
    // journal). Throws when the journal cannot be written.
    std::int64_t Before(std::size_t index) {
        if (journal_ == nullptr)
            return 0;
        if (index >= end_) {
            std::int64_t first = 0;
            const std::size_t taken = journal_->Intend(entries_.subspan(index), first);
            start_ = index;
            end_ = index + taken;
            firstId_ = first;
        }
        return firstId_ + static_cast<std::int64_t>(index - start_);
    }
    void After(std::int64_t id, const JournalResult& result) {
        if (journal_ != nullptr)
            journal_->Record(id, result);
    }
    // Runs act, the change of entry id; when it throws (the error that ends
    // the pass), the journal is told that it failed, and why, first.
    template <typename Act>
    JournalResult Failing(std::int64_t id, Act&& act) {
        try {
            return act();
        } catch (const std::exception& error) {
            if (journal_ != nullptr && id != 0)
                journal_->Record(id, JournalResult{JournalOutcome::Failed, "", error.what()});
            throw;
        }
    }
    void Flush() {
        if (journal_ != nullptr)
            journal_->Flush();
    }

private:
    PassJournal* journal_;
    std::span<const JournalEntry> entries_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
    std::int64_t firstId_ = 0;
};

}  // namespace tidyfold
