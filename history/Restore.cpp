#include "history/Restore.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <set>

#include "base/Error.h"
#include "engine/UnpackedFolderCheck.h"
#include "fs/Drive.h"
#include "fs/Permissions.h"
#include "fs/Remake.h"
#include "fs/Transfer.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "history/Roots.h"

namespace tidyfold::history {

namespace {

constexpr const char* kTaken = kTakenOnDesktop;
constexpr const char* kMissing = "It is no longer in the offload folder.";
constexpr const char* kChanged = "It was changed or replaced in the offload folder since; it stays there.";

// What the pass put into the offload folder: an entry of the same kind,
// size and modification time (a copy keeps the time, a rename everything),
// the time as the drive of folder stores it (FAT in 2 s steps).
bool AsOffloaded(const fs::OpenFolder& folder, const fs::Entry& entry, const ActionRecord& action) {
    return entry.kind == action.entry && entry.size == action.size &&
           fs::SameStoredTime(entry.times.modify_ns, action.times.modify_ns,
                              fs::QuickRulesOf(folder.Fd()).timeStepNs);
}

// The intent of putting action back: the file as the pass offloaded it
// (recovery knows it in the offload folder by its size and times).
Intent IntentFor(const ActionRecord& action) {
    Intent intent;
    intent.kind = ActionKind::Restore;
    intent.undoes = action.id;
    intent.entry.kind = action.entry;
    intent.entry.relative = action.relative;
    intent.entry.destination = action.destination;
    intent.entry.id = action.id_seen;
    intent.entry.size = action.size;
    intent.entry.times = action.times;
    intent.entry.mode = action.mode;
    return intent;
}

// The folder part of a relative path ("a/b" for "a/b/x"; "" for "x").
std::string FolderOf(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

std::size_t Depth(const std::string& relative) {
    return static_cast<std::size_t>(std::count(relative.begin(), relative.end(), '/'));
}

// The order things are put back in: empty folders first, shallowest first
// (a pass removed them deepest first), so that what belongs in them finds
// them; then the files; then empty files; unpacked folders last, once
// their archives are back.
int Stage(const ActionRecord& action) {
    if (action.kind == ActionKind::RemoveEmptyFolder)
        return 0;
    if (action.Offloaded())
        return 1;
    if (action.kind == ActionKind::RemoveUnpackedFolder)
        return 3;
    return 2;
}

std::vector<ActionRecord> InOrder(std::vector<ActionRecord> actions) {
    // Each record moved once: a pass has tens of thousands of them.
    std::array<std::vector<std::size_t>, 4> stages;
    for (std::size_t i = 0; i < actions.size(); ++i)
        stages[static_cast<std::size_t>(Stage(actions[i]))].push_back(i);
    std::stable_sort(stages[0].begin(), stages[0].end(), [&](std::size_t a, std::size_t b) {
        return Depth(actions[a].relative) < Depth(actions[b].relative);
    });
    std::vector<ActionRecord> ordered;
    ordered.reserve(actions.size());
    for (const std::vector<std::size_t>& stage : stages)
        for (const std::size_t i : stage)
            ordered.push_back(std::move(actions[i]));
    return ordered;
}

class Restorer {
public:
    Restorer(Roots& roots, PassRecorder& recorder) : roots_(roots), recorder_(recorder) {}

    void Run(const std::vector<ActionRecord>& actions, const RestoreProgress& progress, RestoreResult& result) {
        std::vector<Intent> intents;
        intents.reserve(actions.size());
        for (const ActionRecord& action : actions)
            intents.push_back(IntentFor(action));
        std::size_t end = 0;
        std::int64_t first = 0;
        for (std::size_t i = 0; i < actions.size(); ++i) {
            if (i >= end) {
                const std::size_t start = i;
                end = start + recorder_.IntendRestores(std::span(intents).subspan(start), first);
                first -= static_cast<std::int64_t>(start);
            }
            const JournalResult outcome = PutBack(actions[i]);
            Count(actions[i], outcome, result);
            recorder_.Record(first + static_cast<std::int64_t>(i), outcome);
            if (progress)
                progress(i + 1, actions.size());
        }
        FinishFolders();
        result.emptiedFolders = RemoveEmptied();
    }

private:
    // A folder made again, given its mode and times once all is back.
    struct Made {
        std::string relative;
        fs::Identity id;
        std::uint32_t mode;
        fs::FileTimes times;
    };

    // A failure of the file layer is the failure of this one entry.
    JournalResult PutBack(const ActionRecord& action) {
        try {
            if (action.Offloaded())
                return Move(action);
            if (action.kind == ActionKind::RemoveUnpackedFolder)
                return Unpack(action);
            return Remake(action);
        } catch (const Error& error) {
            return {JournalOutcome::Failed, "", error.what()};
        }
    }

    // The folder that held relative on the Desktop, made again where
    // missing; nothing with why in failure.
    const fs::OpenFolder* DesktopFolderOf(const std::string& relative, fs::Flush flush, JournalResult& failure) {
        std::string link;
        const fs::OpenFolder* to = roots_.Make(Side::Desktop, relative, flush, link);
        if (to == nullptr)
            failure = {JournalOutcome::Failed, "",
                       link.empty() ? "The Desktop folder is missing."
                                    : "A folder on its way back is a link, which is never followed: " + link};
        return to;
    }

    JournalResult Move(const ActionRecord& action) {
        const Spot source = roots_.Find(Side::Offload, action.destination);
        if (!source.entry)
            return {JournalOutcome::Skipped, "", kMissing};
        if (!AsOffloaded(*source.folder, *source.entry, action))
            return {JournalOutcome::Skipped, "", kChanged};
        // A rename keeps its folder's creation in order on the disk's
        // journal; a copy across file systems removes its source afterwards,
        // so the folders it lands in must be on the disk first.
        const fs::OpenFolder* desktop = roots_.Root(Side::Desktop);
        const bool across = desktop != nullptr && desktop->Id().device != source.entry->id.device;
        JournalResult failure;
        const fs::OpenFolder* to = DesktopFolderOf(action.relative, across ? fs::Flush::Yes : fs::Flush::No, failure);
        if (to == nullptr)
            return failure;
        // Putting back never takes another name: the person looks for the
        // file under its own.
        const std::string name = LastName(action.relative);
        const fs::Outcome moved =
            fs::MoveEntry(*source.folder, *source.entry, *to, name, {}, nullptr, nullptr, fs::Clash::Fail);
        if (moved.error == EEXIST)
            return {JournalOutcome::Failed, "", kTaken};
        if (moved.copied)
            return {JournalOutcome::Done, "",
                    "It is back on the Desktop; the offload folder keeps a version of it that changed meanwhile."};
        if (!moved.Ok())
            return {JournalOutcome::Failed, "",
                    moved.changed ? std::string(kChanged) : SystemErrorText(moved.error)};
        emptied_.insert(FolderOf(action.destination));
        // A pass makes a write-protected file writable before it moves it;
        // the file comes back with the bits it had on the Desktop.
        if (action.entry == fs::EntryKind::File && source.entry->mode != action.mode) {
            // Across file systems the file on the Desktop is a new one.
            const std::optional<fs::Entry> placed = to->Stat(name);
            if (!placed || !AsOffloaded(*to, *placed, action) ||
                !fs::SetPermissions(*to, name, placed->id, action.mode))
                return {JournalOutcome::Done, "", "Its permissions could not be set back: it changed meanwhile."};
        }
        return {JournalOutcome::Done, "", ""};
    }

    // An empty folder or file the pass removed: nothing of it was lost but
    // what the row holds.
    JournalResult Remake(const ActionRecord& action) {
        JournalResult failure;
        const fs::OpenFolder* to = DesktopFolderOf(action.relative, fs::Flush::No, failure);
        if (to == nullptr)
            return failure;
        const std::string name = LastName(action.relative);
        const bool folder = action.entry == fs::EntryKind::Folder;
        const int error =
            folder ? fs::MakeEmptyFolder(*to, name) : fs::MakeEmptyFile(*to, name, action.mode, action.times);
        if (error == EEXIST) {
            const std::optional<fs::Entry> there = to->Stat(name);
            if (folder && there && there->kind == fs::EntryKind::Folder)
                return {JournalOutcome::Skipped, "", "A folder of that name is on the Desktop already."};
            return {JournalOutcome::Failed, "", kNameTakenOnDesktop};
        }
        if (error != 0)
            return {JournalOutcome::Failed, "", SystemErrorText(error)};
        if (folder)
            if (const std::optional<fs::Entry> made = to->Stat(name))
                made_.push_back({action.relative, made->id, action.mode, action.times});
        return {JournalOutcome::Done, "", ""};
    }

    // A folder the pass removed beside its archive, which held every file
    // of it byte for byte: unpacked again from that archive, if it is still
    // the one the pass compared.
    JournalResult Unpack(const ActionRecord& action) {
        if (!action.archive)
            return {JournalOutcome::Skipped, "",
                    "The history does not say which archive held it, so it cannot be unpacked again."};
        const std::string& archiveName = action.archive->name;
        const fs::OpenFolder* desktop = roots_.Root(Side::Desktop);
        if (desktop == nullptr)
            return {JournalOutcome::Failed, "", "The Desktop folder is missing."};
        // The engine removes such folders only directly on the Desktop.
        if (action.relative.find('/') != std::string::npos || archiveName.find('/') != std::string::npos)
            return {JournalOutcome::Failed, "", "It did not lie directly on the Desktop; it was left alone."};
        const std::optional<fs::Entry> archive = desktop->Stat(archiveName);
        if (!archive)
            return {JournalOutcome::Skipped, "", "Its archive " + archiveName + " is no longer on the Desktop."};
        if (archive->kind != fs::EntryKind::File || archive->size != action.archive->size ||
            !fs::SameStoredTime(archive->times.modify_ns, action.archive->modify_ns,
                                fs::QuickRulesOf(desktop->Fd()).timeStepNs))
            return {JournalOutcome::Skipped, "",
                    "Its archive " + archiveName +
                        " has changed since the pass compared the folder with it, so it is not unpacked from it."};
        if (desktop->Stat(action.relative))
            return {JournalOutcome::Failed, "", kNameTakenOnDesktop};
        const std::string prefix = UnpackedFolderPrefix(*desktop, archiveName, action.relative);
        if (!fs::UnpackArchive(*desktop, archiveName, prefix, action.relative, action.mode, action.times))
            return {JournalOutcome::Failed, "", kNameTakenOnDesktop};
        return {JournalOutcome::Done, "", "Unpacked again from " + archiveName + "."};
    }

    // Made again, the folders get their own modes and times last, deepest
    // first: what was put into them moved their times.
    void FinishFolders() {
        for (auto made = made_.rbegin(); made != made_.rend(); ++made) {
            try {
                const Spot spot = roots_.Find(Side::Desktop, made->relative);
                if (spot.entry && spot.entry->id == made->id)
                    fs::FinishFolder(*spot.folder, spot.name, made->id, made->mode, made->times);
            } catch (const Error&) {
                // The folder is back; only its mode or times are not.
            }
        }
    }

    // The folders of the offload folder that files were put back from, and
    // the folders above them, each removed when it is empty now: only real
    // folders, reached without a link, never the offload folder itself.
    std::int64_t RemoveEmptied() {
        const auto deeperFirst = [](const std::string& a, const std::string& b) {
            return Depth(a) != Depth(b) ? Depth(a) > Depth(b) : a < b;
        };
        std::set<std::string, decltype(deeperFirst)> pending(deeperFirst);
        for (const std::string& folder : emptied_)
            if (!folder.empty())
                pending.insert(folder);
        std::int64_t removed = 0;
        while (!pending.empty()) {
            const std::string folder = *pending.begin();
            pending.erase(pending.begin());
            try {
                const fs::OpenFolder* parent = roots_.FolderAt(Side::Offload, FolderOf(folder));
                const std::optional<fs::Entry> entry =
                    parent != nullptr ? parent->Stat(LastName(folder)) : std::nullopt;
                if (!entry || entry->kind != fs::EntryKind::Folder || !parent->RemoveEmptyFolder(*entry))
                    continue;
            } catch (const Error&) {
                continue;  // write-protected, say: it stays
            }
            ++removed;
            if (!FolderOf(folder).empty())
                pending.insert(FolderOf(folder));
        }
        return removed;
    }

    static void Count(const ActionRecord& action, const JournalResult& outcome, RestoreResult& result) {
        ReportEntry entry{JournalAction::Restore, outcome.outcome, action.entry, action.relative, action.destination,
                          outcome.note};
        entry.undid = action.kind;
        result.entries.push_back(std::move(entry));
        const std::int64_t id = action.id;
        if (outcome.outcome == JournalOutcome::Done) {
            ++result.restored;
            return;
        }
        if (outcome.note == kTaken || outcome.note == kNameTakenOnDesktop)
            ++result.taken;
        else if (outcome.outcome == JournalOutcome::Skipped)
            ++result.missing;
        else
            ++result.failed;
        result.notes.emplace_back(id, outcome.note);
    }

    Roots& roots_;
    PassRecorder& recorder_;
    std::vector<Made> made_;
    std::set<std::string> emptied_;
};

std::vector<ActionRecord> Restorable(const History& history, std::int64_t pass,
                                     const std::vector<std::int64_t>& ids) {
    std::vector<ActionRecord> actions = ids.empty() ? history.Actions(pass) : history.Actions(pass, ids);
    std::erase_if(actions, [](const ActionRecord& action) { return !action.CanRestore(); });
    return InOrder(std::move(actions));
}

}  // namespace

RestoreResult Restore(History& history, std::int64_t pass, const std::vector<std::int64_t>& ids,
                      const RestoreProgress& progress) {
    RestoreResult result;
    Restore(history, pass, ids, progress, PassOrigin::Unknown, result);
    return result;
}

void Restore(History& history, std::int64_t pass, const std::vector<std::int64_t>& ids,
             const RestoreProgress& progress, PassOrigin origin, RestoreResult& result) {
    const std::optional<PassRecord> record = history.Pass(pass);
    if (!record)
        throw Error::Refused("The history has no pass " + std::to_string(pass) + ".", history.Path());
    // Recovery first: a pass killed half-way has its actions settled before
    // anything of it is put back.
    history.Recover();
    const std::vector<ActionRecord> actions = Restorable(history, pass, ids);
    if (actions.empty())
        return;
    // The checks of a pass, on the folders as they are now: nothing is put
    // back into, or taken out of, a folder no pass may work in.
    Roots roots(*record);
    if (!roots.Refusal().empty())
        throw Error::Refused(roots.Refusal(), record->offload);
    std::unique_ptr<PassRecorder> recorder =
        history.Begin(PassStart{PassKind::Undo, std::nullopt, record->desktop, record->offload, pass, origin});
    result.undoPass = recorder->Id();
    try {
        Restorer restorer(roots, *recorder);
        restorer.Run(actions, progress, result);
    } catch (const Error& error) {
        try {
            recorder->End(PassEnding::Failed, error.what());
        } catch (const Error&) {
            // Left to recovery; the first error is the one to report.
        }
        throw;
    }
    recorder->End(PassEnding::Completed);
}

}  // namespace tidyfold::history
