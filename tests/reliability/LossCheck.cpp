#include "tests/reliability/LossCheck.h"

namespace tidyfold::reliability {

namespace {

bool FoundIntact(const std::string& path, const Entry& original, const Snapshot& where) {
    auto it = where.find(path);
    return it != where.end() && SameData(it->second, original);
}

void CheckTree(const Snapshot& tree, const Snapshot& originals, bool tempAllowed, const char* label,
               std::vector<std::string>& problems) {
    for (const auto& [path, entry] : tree) {
        if (entry.kind != Kind::File && entry.kind != Kind::Link)
            continue;
        if (IsTempName(BaseName(path))) {
            if (!tempAllowed)
                problems.push_back(std::string("temporary file in the ") + label + ": " + Printable(path));
            continue;
        }
        auto original = originals.find(path);
        if (original == originals.end())
            problems.push_back(std::string("unexpected entry in the ") + label + ": " + Printable(path));
        else if (!SameData(entry, original->second))
            problems.push_back(std::string("differs from the original in the ") + label + ": " + Printable(path) +
                               " (size " + std::to_string(entry.size) + " instead of " +
                               std::to_string(original->second.size) + ")");
    }
}

}  // namespace

std::vector<std::string> CheckNothingLost(const LossCheck& check) {
    std::vector<std::string> problems;
    for (const auto& [path, original] : *check.originals) {
        bool found = FoundIntact(path, original, *check.desktop);
        for (const Snapshot* offload : check.offloads)
            found = found || FoundIntact(path, original, *offload);
        if (!found && !(check.mayVanish && check.mayVanish(path)))
            problems.push_back("lost: " + Printable(path));
    }
    CheckTree(*check.desktop, *check.originals, false, "Desktop", problems);
    for (const Snapshot* offload : check.offloads)
        CheckTree(*offload, *check.originals, true, "offload folder", problems);
    return problems;
}

}  // namespace tidyfold::reliability
