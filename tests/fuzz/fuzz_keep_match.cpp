// The keep rules on any lines and path (the input split at its first NUL,
// the lines at line feeds, the path's parts at "/"). Checked against what
// they are defined by:
//  - one line holding a name: fnmatch(3) without flags in the "C" locale,
//    for the name itself and for every folder above it;
//  - one line with "/" and without "**" or brackets: fnmatch with
//    FNM_PATHNAME on the path and on every folder above it;
//  - whatever the lines: a kept folder keeps everything below it, an entry
//    kept by Matches is kept by Keeps, the last line decides ("*" after
//    them keeps everything, "!*" nothing).

#include <fnmatch.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/KeepList.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using tidyfold::KeepKind;

bool Fn(const std::string& pattern, const std::string& text, int flags) {
    return fnmatch(pattern.c_str(), text.c_str(), flags) == 0;
}

// The folders above the entry and the entry itself, as paths from the top.
std::vector<std::string> Prefixes(const std::string& path) {
    std::vector<std::string> prefixes;
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        prefixes.push_back(path.substr(0, slash));
    prefixes.push_back(path);
    return prefixes;
}

bool NameOf(const std::string& prefix, std::string& name) {
    name = prefix.substr(prefix.rfind('/') + 1);
    return !name.empty();
}

// The expectation for a pattern the references can judge; false when they
// cannot.
bool Expected(std::string pattern, const std::string& path, KeepKind kind, bool& kept) {
    // A comment, or a lone line that only takes back, keeps nothing.
    if (!pattern.empty() && (pattern.front() == '#' || pattern.front() == '!')) {
        kept = false;
        return true;
    }
    // Blanks at the end count only when escaped: not the references' rule.
    if (!pattern.empty() && pattern.back() == ' ')
        return false;
    bool foldersOnly = false;
    if (!pattern.empty() && pattern.back() == '/') {
        foldersOnly = true;
        pattern.pop_back();
    }
    const bool anchored = pattern.find('/') != std::string::npos;
    // "[=" and "[." (equivalence classes and collating symbols) mean nothing
    // special to the rules; fnmatch reads them.
    if (pattern.empty() || (anchored && pattern.find_first_of("[\\") != std::string::npos) ||
        pattern.find("**") != std::string::npos || pattern.find("[=") != std::string::npos ||
        pattern.find("[.") != std::string::npos)
        return false;
    if (anchored && pattern.front() == '/')
        pattern.erase(0, 1);
    const std::vector<std::string> prefixes = Prefixes(path);
    kept = false;
    for (std::size_t i = 0; i < prefixes.size(); ++i) {
        const bool isFolder = i + 1 < prefixes.size() || kind == KeepKind::Folder;
        if (foldersOnly && !isFolder)
            continue;
        std::string name;
        if (!anchored)
            kept = kept || (NameOf(prefixes[i], name) && Fn(pattern, name, 0));
        else
            kept = kept || Fn(pattern, prefixes[i], FNM_PATHNAME);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    if (nul == std::string::npos || nul + 1 >= input.size())
        return 0;
    const std::vector<std::string> lines = SplitLines(input.substr(0, nul));
    std::string path = input.substr(nul + 1);
    // A path below the Desktop: no NUL, no leading "/", no empty part.
    if (path.find('\0') != std::string::npos || path.front() == '/' || path.back() == '/' ||
        path.find("//") != std::string::npos)
        return 0;
    const tidyfold::KeepList list(lines);
    std::vector<std::string> keepAll = lines, keepNone = lines;
    keepAll.push_back("*");
    keepNone.push_back("!*");
    for (KeepKind kind : {KeepKind::File, KeepKind::Folder}) {
        const bool kept = list.Keeps(path, kind);
        bool expected = false;
        if (lines.size() == 1 && Expected(lines.front(), path, kind, expected))
            FUZZ_CHECK(kept == expected, "the keep rules differ from fnmatch");
        if (list.Matches(path, kind))
            FUZZ_CHECK(kept, "an entry that matches itself is not kept");
        FUZZ_CHECK(tidyfold::KeepList(keepAll).Keeps(path, kind), "a last line \"*\" does not keep everything");
        FUZZ_CHECK(!tidyfold::KeepList(keepNone).Keeps(path, kind), "a last line \"!*\" does not take all back");
    }
    if (list.Keeps(path, KeepKind::Folder))
        FUZZ_CHECK(list.Keeps(path + "/inside", KeepKind::File), "a kept folder does not keep what it holds");
    return 0;
}
