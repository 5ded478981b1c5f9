#include "tests/reliability/HistoryCheck.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <iterator>

#include "history/History.h"
#include "history/Restore.h"

namespace tidyfold::reliability {

namespace {

using history::ActionKind;
using history::ActionOutcome;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Where a file should be by the history: the newest pass that moved it
// says, whether it offloaded it or put it back.
struct Expected {
    bool offloaded = false;
    std::string desktop;  // its place on the Desktop
    std::int64_t pass = 0;
};

void Follow(const history::ActionRecord& action, std::map<std::string, Expected>& expected,
            std::vector<std::string>& problems) {
    if (action.outcome == ActionOutcome::Pending)
        problems.push_back("unsettled after recovery (pass " + std::to_string(action.pass) +
                           "): " + Printable(action.relative));
    if (action.outcome != ActionOutcome::Done)
        return;
    if (action.kind == ActionKind::CopyThenDelete || action.kind == ActionKind::Move)
        expected[action.destination] = {true, action.relative, action.pass};
    else if (action.kind == ActionKind::Restore)
        expected[action.destination] = {false, action.relative, action.pass};
}

}  // namespace

std::vector<std::string> CheckHistory(const Sandbox& box) {
    std::vector<std::string> problems;
    const auto history = history::History::OpenDefault();
    for (const history::RecoveredPass& recovered : history->Recover())
        if (!recovered.problem.empty())
            problems.push_back("pass " + std::to_string(recovered.pass) + " not recovered: " + recovered.problem);
    std::vector<history::PassRecord> passes = history->Passes();
    std::reverse(passes.begin(), passes.end());  // oldest first
    std::map<std::string, Expected> expected;
    for (const history::PassRecord& pass : passes) {
        if (pass.ending == history::PassEnding::Running)
            problems.push_back("pass " + std::to_string(pass.id) + " still running after recovery");
        for (const history::ActionRecord& action : history->Actions(pass.id))
            Follow(action, expected, problems);
    }
    const Snapshot desktop = DataEntries(ScanIfPresent(box.Desktop()));
    const Snapshot offload = DataEntries(ScanIfPresent(box.Offload()));
    for (const auto& [path, where] : expected) {
        const std::string what = " (pass " + std::to_string(where.pass) + "): " + Printable(path);
        const bool inOffload = offload.count(path) != 0;
        if (where.offloaded && (!inOffload || desktop.count(where.desktop) != 0))
            problems.push_back(std::string("recorded as offloaded but ") +
                               (inOffload ? "still on the Desktop" : "not in the offload folder") + what);
        if (!where.offloaded && inOffload)
            problems.push_back("recorded as put back but still in the offload folder" + what);
    }
    for (const Snapshot* tree : {&desktop, &offload}) {
        for (const auto& [path, entry] : *tree) {
            if (IsTempName(BaseName(path)))
                problems.push_back("temporary file left: " + Printable(path));
            else if (tree == &offload && (expected.count(path) == 0 || !expected.at(path).offloaded))
                problems.push_back("in the offload folder, not offloaded by the history: " + Printable(path));
        }
    }
    return problems;
}

std::vector<std::string> UndoAndCheck(const Sandbox& box, const Snapshot& before, const std::string& pristine) {
    std::vector<std::string> problems;
    {
        const auto history = history::History::OpenDefault();
        for (const history::PassRecord& pass : history->Passes())
            if (pass.kind == history::PassKind::CleanDesktop)
                history::Restore(*history, pass.id);
    }
    const Snapshot desktop = DataEntries(Scan(box.Desktop()));
    for (const auto& [path, original] : DataEntries(before)) {
        const auto at = desktop.find(path);
        if (at == desktop.end()) {
            problems.push_back("not put back: " + Printable(path));
            continue;
        }
        if (!SameData(at->second, original) || at->second.mode != original.mode ||
            at->second.mtime_ns != original.mtime_ns)
            problems.push_back("put back, but not as it was: " + Printable(path));
        else if (original.kind == Kind::File && Bytes(box.Desktop() + "/" + path) != Bytes(pristine + "/" + path))
            problems.push_back("put back with other bytes: " + Printable(path));
    }
    for (const auto& [path, entry] : DataEntries(ScanIfPresent(box.Offload())))
        problems.push_back("still in the offload folder after Undo: " + Printable(path));
    const std::vector<std::string> agreement = CheckHistory(box);
    problems.insert(problems.end(), agreement.begin(), agreement.end());
    return problems;
}

}  // namespace tidyfold::reliability
