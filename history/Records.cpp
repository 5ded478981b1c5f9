#include "history/Records.h"

#include <array>
#include <utility>

namespace tidyfold::history {

namespace {

template <typename E, std::size_t N>
using Codes = std::array<std::pair<E, std::string_view>, N>;

constexpr Codes<PassKind, 4> kPassKinds{{
    {PassKind::CleanDesktop, "clean"},
    {PassKind::CleanUncompressed, "uncompressed"},
    {PassKind::RemoveEmptyFolders, "empty-folders"},
    {PassKind::Undo, "undo"},
}};

constexpr Codes<PassOrigin, 4> kOrigins{{
    {PassOrigin::Unknown, ""},
    {PassOrigin::Window, "window"},
    {PassOrigin::CommandLine, "command-line"},
    {PassOrigin::Schedule, "schedule"},
}};

constexpr Codes<PassEnding, 5> kEndings{{
    {PassEnding::Running, "running"},
    {PassEnding::Completed, "completed"},
    {PassEnding::Stopped, "stopped"},
    {PassEnding::Failed, "failed"},
    {PassEnding::Interrupted, "interrupted"},
}};

constexpr Codes<ActionKind, 8> kActions{{
    {ActionKind::CopyThenDelete, "copy"},
    {ActionKind::Move, "move"},
    {ActionKind::Delete, "delete"},
    {ActionKind::SendToTrash, "trash"},
    {ActionKind::DeleteEmptyFile, "delete-empty"},
    {ActionKind::RemoveUnpackedFolder, "remove-unpacked"},
    {ActionKind::RemoveEmptyFolder, "remove-empty-folder"},
    {ActionKind::Restore, "restore"},
}};

constexpr Codes<ActionOutcome, 5> kOutcomes{{
    {ActionOutcome::Pending, "pending"},
    {ActionOutcome::Done, "done"},
    {ActionOutcome::Failed, "failed"},
    {ActionOutcome::Skipped, "skipped"},
    {ActionOutcome::Interrupted, "interrupted"},
}};

constexpr Codes<fs::EntryKind, 4> kEntries{{
    {fs::EntryKind::File, "file"},
    {fs::EntryKind::Link, "link"},
    {fs::EntryKind::Folder, "folder"},
    {fs::EntryKind::Other, "other"},
}};

template <typename E, std::size_t N>
std::string_view Find(const Codes<E, N>& codes, E value) {
    for (const auto& [v, code] : codes)
        if (v == value)
            return code;
    return "?";
}

template <typename E, std::size_t N>
std::optional<E> Find(const Codes<E, N>& codes, std::string_view code) {
    for (const auto& [v, c] : codes)
        if (c == code)
            return v;
    return std::nullopt;
}

}  // namespace

ActionKind KindOf(JournalAction action) { return action; }

bool ActionRecord::RemovedEmpty() const noexcept {
    if (kind == ActionKind::RemoveEmptyFolder)
        return entry == fs::EntryKind::Folder;
    return (kind == ActionKind::DeleteEmptyFile || kind == ActionKind::Delete) && entry == fs::EntryKind::File &&
           size == 0;
}

std::string_view Code(PassKind kind) { return Find(kPassKinds, kind); }
std::string_view Code(PassOrigin origin) { return Find(kOrigins, origin); }
std::optional<PassOrigin> PassOriginFrom(std::string_view code) { return Find(kOrigins, code); }
std::string_view Code(PassEnding ending) { return Find(kEndings, ending); }
std::string_view Code(ActionKind kind) { return Find(kActions, kind); }
std::string_view Code(ActionOutcome outcome) { return Find(kOutcomes, outcome); }
std::string_view Code(fs::EntryKind kind) { return Find(kEntries, kind); }
std::optional<PassKind> PassKindFrom(std::string_view code) { return Find(kPassKinds, code); }
std::optional<PassEnding> PassEndingFrom(std::string_view code) { return Find(kEndings, code); }
std::optional<ActionKind> ActionKindFrom(std::string_view code) { return Find(kActions, code); }
std::optional<ActionOutcome> ActionOutcomeFrom(std::string_view code) { return Find(kOutcomes, code); }
std::optional<fs::EntryKind> EntryKindFrom(std::string_view code) { return Find(kEntries, code); }

}  // namespace tidyfold::history
