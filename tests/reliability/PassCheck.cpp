#include "tests/reliability/PassCheck.h"

#include <exception>
#include <memory>

#include "tests/support/TempDir.h"

#include "engine/cTidyfold.h"
#include "base/Error.h"
#include "history/History.h"
#include "history/PassRecorder.h"

namespace tidyfold::reliability {

PassOutcome RunPass(const Sandbox& box, bool processCompressed, bool recorded) {
    PassOutcome outcome;
    cTidyfold engine;
    engine.SetClock([] { return static_cast<std::int64_t>(kFarFuture); });
    std::unique_ptr<history::History> history;
    std::unique_ptr<history::PassRecorder> pass;
    try {
        if (recorded) {
            history = history::History::OpenDefault();
            pass = history->Begin({history::PassKind::CleanDesktop, std::nullopt, box.Desktop(), box.Offload(), 0});
            engine.Journal(pass.get());
        }
        if (processCompressed)
            engine.ProcessCompressed(box.Desktop());
        engine.Clean();
        if (pass)
            pass->End(history::PassEnding::Completed);
    } catch (const Error& error) {
        outcome.threw = true;
        outcome.number = error.Number();
        outcome.what = error.what();
        try {
            if (pass)
                pass->End(history::PassEnding::Failed, error.what());
        } catch (const Error&) {
            // Left to recovery.
        }
    } catch (const std::exception& other) {
        outcome.foreign = true;
        outcome.what = other.what();
    }
    for (int c = 0; c < static_cast<int>(fs::fault::Call::Count_); ++c)
        outcome.usesAtEnd[static_cast<fs::fault::Call>(c)] = fs::fault::Uses(static_cast<fs::fault::Call>(c));
    outcome.log = engine.Log();
    return outcome;
}

namespace {

std::vector<std::string> Lines(const std::string& log) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < log.size();) {
        std::size_t end = log.find("\r\n", start);
        if (end == std::string::npos)
            end = log.size();
        lines.push_back(log.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IntactAt(const Snapshot& tree, const std::string& path, const Entry& original) {
    auto at = tree.find(path);
    return at != tree.end() && SameData(at->second, original);
}

}  // namespace

std::vector<std::string> LoggedPaths(const std::string& log, const std::string& desktop,
                                     const std::string& prefix, const std::string& suffix) {
    std::vector<std::string> paths;
    const std::string head = prefix + desktop + "/";
    for (const std::string& line : Lines(log)) {
        if (line.compare(0, head.size(), head) == 0 && EndsWith(line, suffix) &&
            line.size() >= head.size() + suffix.size())
            paths.push_back(line.substr(head.size(), line.size() - head.size() - suffix.size()));
    }
    return paths;
}

bool LogExplains(const std::string& log, const std::string& desktop, const std::string& relative) {
    const std::string path = desktop + "/" + relative;
    return log.find("File copy of " + path + " FAILED.\r\n") != std::string::npos ||
           log.find("Sending " + path + " to the Trash FAILED.\r\n") != std::string::npos ||
           log.find("Move of " + path + " FAILED.\r\n") != std::string::npos ||
           log.find("Could not move file: " + path + "\r\n") != std::string::npos ||
           log.find("Could not open file: " + path + "\r\n") != std::string::npos;
}

namespace {

// Each line of the log says something about the disk; check that it is so.
void CheckLogAgainstDisk(const Sandbox& box, const PassOutcome& outcome, const Judgement& judgement,
                         const Snapshot& desktop, const Snapshot& offload, const Snapshot& trash,
                         std::vector<std::string>& problems) {
    const Snapshot& originals = *judgement.originals;
    auto original = [&](const std::string& rel) -> const Entry* {
        auto at = originals.find(rel);
        return at == originals.end() ? nullptr : &at->second;
    };
    for (const std::string& rel : LoggedPaths(outcome.log, box.Desktop(), "File copy of ", " succeeded.")) {
        const Entry* o = original(rel);
        if (o == nullptr || !(FindIntact(rel, *o, offload) != nullptr || IntactAt(trash, rel, *o)))
            problems.push_back("logged as copied but no complete copy exists: " + Printable(rel));
    }
    for (const std::string& rel : LoggedPaths(outcome.log, box.Desktop(), "Sending ", " to the Trash FAILED.")) {
        const Entry* o = original(rel);
        if (o == nullptr || !IntactAt(desktop, rel, *o))
            problems.push_back("logged as not sent to the Trash but not intact on the Desktop: " + Printable(rel));
    }
    for (const char* prefix : {"File copy of ", "Move of "}) {
        for (const std::string& rel : LoggedPaths(outcome.log, box.Desktop(), prefix, " FAILED.")) {
            const Entry* o = original(rel);
            if (o == nullptr || !IntactAt(desktop, rel, *o))
                problems.push_back(std::string("logged as failed (") + prefix + ") but not intact on the Desktop: " +
                                   Printable(rel));
        }
    }
    for (const std::string& rel : LoggedPaths(outcome.log, box.Desktop(), "Could not move file: ", "")) {
        const Entry* o = original(rel);
        if (o == nullptr || !IntactAt(desktop, rel, *o))
            problems.push_back("logged as not deleted but not intact on the Desktop: " + Printable(rel));
    }
}

}  // namespace

std::vector<std::string> JudgePass(const Sandbox& box, const PassOutcome& outcome, const Judgement& judgement) {
    std::vector<std::string> problems;
    if (outcome.foreign)
        problems.push_back("an exception other than tidyfold::Error escaped: " + outcome.what);
    if (outcome.threw && (outcome.number == 0 || outcome.what.empty()))
        problems.push_back("an error without a number or text: " + outcome.what);

    const Snapshot desktop = Scan(box.Desktop());
    const Snapshot offload = ScanIfPresent(box.Offload());
    const Snapshot trash = ScanIfPresent(box.DefaultTrash());
    const Snapshot restorable = TrashAsRestored(box.HomeTrash(), box.Desktop());
    std::vector<std::string> lost = CheckNothingLost({judgement.originals, &desktop, {&offload, &trash, &restorable},
                                                      judgement.mayVanish, judgement.earlier});
    problems.insert(problems.end(), lost.begin(), lost.end());
    CheckLogAgainstDisk(box, outcome, judgement, desktop, offload, trash, problems);

    // A pass that ended normally has dealt with every file: transferred it,
    // or said why not.
    if (!outcome.threw && !outcome.foreign && judgement.mode != 2 && !judgement.silentLeftoversAllowed) {
        for (const auto& [rel, original] : *judgement.originals) {
            if (judgement.mayVanish && judgement.mayVanish(rel))
                continue;
            if (desktop.count(rel) != 0 && !LogExplains(outcome.log, box.Desktop(), rel))
                problems.push_back("left on the Desktop without a word in the log: " + Printable(rel));
        }
    }
    return problems;
}

std::vector<std::string> JudgeFinished(const Sandbox& box, const PassOutcome& outcome, const Judgement& judgement) {
    std::vector<std::string> problems = JudgePass(box, outcome, judgement);
    if (outcome.threw)
        problems.push_back("an undisturbed pass ended with an error: " + outcome.what);
    const Snapshot desktop = Scan(box.Desktop());
    const Snapshot offload = ScanIfPresent(box.Offload());
    const Snapshot trash = ScanIfPresent(box.DefaultTrash());
    const Snapshot restorable = TrashAsRestored(box.HomeTrash(), box.Desktop());
    for (const auto& [rel, original] : *judgement.originals) {
        const bool onDesktop = desktop.count(rel) != 0;
        if (judgement.mode == 2) {
            if (onDesktop)
                problems.push_back("not deleted by an undisturbed pass: " + Printable(rel));
            continue;
        }
        if (judgement.mayVanish && judgement.mayVanish(rel)) {
            if (onDesktop)
                problems.push_back("not removed with its archive's folder: " + Printable(rel));
            continue;
        }
        if (FindIntact(rel, original, offload) == nullptr && !IntactAt(trash, rel, original) &&
            !IntactAt(restorable, rel, original))
            problems.push_back("not offloaded by an undisturbed pass: " + Printable(rel));
        if (onDesktop &&
            outcome.log.find("Move of " + box.Desktop() + "/" + rel + " FAILED.\r\n") == std::string::npos)
            problems.push_back("still on the Desktop after an undisturbed pass: " + Printable(rel));
    }
    return problems;
}

namespace {

std::string Unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The original path an info file names, or empty text.
std::string InfoPath(const std::string& info) {
    const std::size_t at = info.find("\nPath=");
    if (info.rfind("[Trash Info]\n", 0) != 0 || at == std::string::npos)
        return {};
    const std::size_t start = at + 6;
    return Unescaped(info.substr(start, info.find('\n', start) - start));
}

}  // namespace

Snapshot TrashAsRestored(const std::string& trash, const std::string& desktop) {
    Snapshot restored;
    const Snapshot files = ScanIfPresent(trash + "/files");
    for (const auto& [name, entry] : ScanIfPresent(trash + "/info")) {
        const std::string suffix = ".trashinfo";
        if (entry.kind != Kind::File || name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const auto file = files.find(name.substr(0, name.size() - suffix.size()));
        const std::string original = InfoPath(test::ReadFile(trash + "/info/" + name));
        if (file != files.end() && original.rfind(desktop + "/", 0) == 0)
            restored.emplace(original.substr(desktop.size() + 1), file->second);
    }
    return restored;
}

std::string Report(const std::vector<std::string>& problems) {
    std::string text;
    for (std::size_t i = 0; i < problems.size() && i < 12; ++i)
        text += "  " + problems[i] + "\n";
    if (problems.size() > 12)
        text += "  ... and " + std::to_string(problems.size() - 12) + " more\n";
    return text;
}

}  // namespace tidyfold::reliability
