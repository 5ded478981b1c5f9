#include "tests/reliability/LossCheck.h"

#include <optional>

#include "fs/Temp.h"

namespace tidyfold::reliability {

namespace {

// path with " (n)" put before its extension, as the file layer numbers it.
std::string Numbered(const std::string& path, int n) {
    const std::size_t slash = path.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > start;
    const std::size_t cut = hasExt ? dot : path.size();
    return path.substr(0, cut) + " (" + std::to_string(n) + ")" + path.substr(cut);
}

// Whether path is an empty file that claimed its name (or a numbered one)
// for a copy whose temporary file lies beside it: what a kill between the
// claim and the rename over it leaves on a drive without a no-replace
// rename.
bool IsClaim(const Snapshot& tree, const std::string& path, const Entry& entry) {
    if (entry.kind != Kind::File || entry.size != 0)
        return false;
    const std::string unnumbered = UnnumberedPath(path);
    const std::size_t slash = unnumbered.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : unnumbered.substr(0, slash + 1);
    const std::string stem = fs::TempStemOf(BaseName(unnumbered));
    for (auto it = tree.lower_bound(folder); it != tree.end() && it->first.compare(0, folder.size(), folder) == 0;
         ++it) {
        const std::optional<std::string> found = fs::TempNameStem(BaseName(it->first));
        if (found && *found == stem && it->first.find('/', folder.size()) == std::string::npos)
            return true;
    }
    return false;
}

void CheckTree(const Snapshot& tree, const Snapshot& originals, const Snapshot* earlier, bool tempAllowed,
               const char* label, std::vector<std::string>& problems) {
    for (const auto& [path, entry] : tree) {
        if (entry.kind != Kind::File && entry.kind != Kind::Link)
            continue;
        if (IsTempName(BaseName(path)) || (tempAllowed && IsClaim(tree, path, entry))) {
            if (!tempAllowed)
                problems.push_back(std::string("temporary file in the ") + label + ": " + Printable(path));
            continue;
        }
        if (earlier != nullptr) {
            auto before = earlier->find(path);
            if (before != earlier->end() && SameData(entry, before->second))
                continue;
        }
        auto original = originals.find(path);
        if (original == originals.end())
            original = originals.find(UnnumberedPath(path));
        if (original == originals.end())
            problems.push_back(std::string("unexpected entry in the ") + label + ": " + Printable(path));
        else if (!SameData(entry, original->second))
            problems.push_back(std::string("differs from the original in the ") + label + ": " + Printable(path) +
                               " (size " + std::to_string(entry.size) + " instead of " +
                               std::to_string(original->second.size) + ")");
    }
}

}  // namespace

std::string UnnumberedPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    const std::size_t cut = dot != std::string::npos && dot > start ? dot : path.size();
    // " (n)" just before the cut, n a number of 2 or more.
    const std::size_t open = path.rfind(" (", cut);
    if (open == std::string::npos || open < start || cut < open + 4 || path[cut - 1] != ')')
        return path;
    const std::string digits = path.substr(open + 2, cut - open - 3);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits[0] == '0' ||
        digits == "1")
        return path;
    return path.substr(0, open) + path.substr(cut);
}

const Entry* FindIntact(const std::string& path, const Entry& original, const Snapshot& where) {
    auto it = where.find(path);
    if (it != where.end() && SameData(it->second, original))
        return &it->second;
    // A few passes over the same clash at most; the numbers are dense.
    for (int n = 2; n <= 64; ++n) {
        it = where.find(Numbered(path, n));
        if (it == where.end())
            continue;
        if (SameData(it->second, original))
            return &it->second;
    }
    return nullptr;
}

std::vector<std::string> CheckNothingLost(const LossCheck& check) {
    std::vector<std::string> problems;
    if (check.earlier != nullptr && !check.offloads.empty()) {
        const Snapshot& offload = *check.offloads.front();
        for (const auto& [path, before] : *check.earlier) {
            auto now = offload.find(path);
            if (now == offload.end() || !SameData(now->second, before))
                problems.push_back("an earlier offloaded file was replaced or lost: " + Printable(path));
        }
    }
    for (const auto& [path, original] : *check.originals) {
        bool found = check.desktop->count(path) != 0 && SameData(check.desktop->at(path), original);
        for (const Snapshot* offload : check.offloads)
            found = found || FindIntact(path, original, *offload) != nullptr;
        if (!found && !(check.mayVanish && check.mayVanish(path)))
            problems.push_back("lost: " + Printable(path));
    }
    CheckTree(*check.desktop, *check.originals, nullptr, false, "Desktop", problems);
    for (const Snapshot* offload : check.offloads)
        CheckTree(*offload, *check.originals, check.earlier, true, "offload folder", problems);
    return problems;
}

}  // namespace tidyfold::reliability
