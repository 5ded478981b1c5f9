// The keep rules on any pattern and path (the input split at its first NUL;
// the path's parts at "/"). Checked against what they are defined by:
//  - a pattern of one name: fnmatch(3) without flags in the "C" locale, for
//    the name itself and for every folder above it;
//  - a pattern with "/" and without "**" or brackets: fnmatch with
//    FNM_PATHNAME on the path and on every folder above it;
//  - whatever the pattern: a kept folder keeps everything below it, and an
//    entry kept by Matches is kept by Keeps.

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
    const std::string pattern = input.substr(0, nul);
    std::string path = input.substr(nul + 1);
    // A path below the Desktop: no NUL, no leading "/", no empty part.
    if (path.find('\0') != std::string::npos || path.front() == '/' || path.back() == '/' ||
        path.find("//") != std::string::npos)
        return 0;
    const tidyfold::KeepList list({pattern});
    for (KeepKind kind : {KeepKind::File, KeepKind::Folder}) {
        const bool kept = list.Keeps(path, kind);
        bool expected = false;
        if (Expected(pattern, path, kind, expected))
            FUZZ_CHECK(kept == expected, "the keep rules differ from fnmatch");
        if (list.Matches(path, kind))
            FUZZ_CHECK(kept, "an entry that matches itself is not kept");
    }
    if (list.Keeps(path, KeepKind::Folder))
        FUZZ_CHECK(list.Keeps(path + "/inside", KeepKind::File), "a kept folder does not keep what it holds");
    return 0;
}
