#include "settings/KeepList.h"

#include <optional>

#include "settings/Glob.h"

namespace tidyfold {

namespace {

std::vector<std::string_view> SplitParts(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t slash = text.find('/');
        parts.push_back(text.substr(0, slash));
        if (slash == std::string_view::npos)
            return parts;
        text.remove_prefix(slash + 1);
    }
}

// parts[i..] against path[j..length), "**" standing for any number of path
// parts, none at the end of the pattern excepted: "a/**" is what is inside
// a, not a itself. A table over both positions keeps a pattern of many "**"
// from taking exponential time.
bool PartsMatch(const std::vector<std::string>& parts, const std::vector<std::string_view>& path,
                std::size_t length) {
    const std::size_t np = parts.size();
    // can[i][j]: parts from i match path parts from j to length.
    std::vector<std::vector<char>> can(np + 1, std::vector<char>(length + 1, 0));
    can[np][length] = 1;
    for (std::size_t i = np; i-- > 0;) {
        const bool globstar = parts[i] == "**";
        const bool last = i + 1 == np;
        for (std::size_t j = length + 1; j-- > 0;) {
            if (globstar) {
                // Take no part (not allowed last), or one more part.
                const bool none = !last && can[i + 1][j];
                const bool more = j < length && (can[i + 1][j + 1] || can[i][j + 1]);
                can[i][j] = none || more;
            } else {
                can[i][j] = j < length && GlobMatch(parts[i], path[j]) && can[i + 1][j + 1];
            }
        }
    }
    return can[0][0] != 0;
}

// Blanks at the end of a line are dropped, unless escaped by "\" (the
// escaped one and all before it stay); tabs stay, as git has it.
std::string_view WithoutTrailingBlanks(std::string_view line) {
    std::optional<std::size_t> blanksFrom;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ' ') {
            if (!blanksFrom)
                blanksFrom = i;
            continue;
        }
        // A "\" at the very end escapes nothing: the line stays as it is.
        if (line[i] == '\\' && ++i == line.size())
            return line;
        blanksFrom.reset();
    }
    return blanksFrom ? line.substr(0, *blanksFrom) : line;
}

// The parts of a pattern between its "/"s. An escaped "/" ("\/") divides
// too: it matches nothing but the "/" between two parts of a path.
std::vector<std::string> PatternParts(std::string_view pattern) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\' && i + 1 < pattern.size()) {
            if (pattern[++i] == '/')
                parts.emplace_back();
            else
                (parts.back() += c) += pattern[i];
        } else if (c == '/') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

}  // namespace

std::vector<std::string> DefaultKeepPatterns() { return {"*.desktop", ".*"}; }

KeepList::KeepList(const std::vector<std::string>& patterns) {
    for (std::string_view text : patterns) {
        if (!text.empty() && text.front() == '#')
            continue;
        text = WithoutTrailingBlanks(text);
        Rule rule;
        if (!text.empty() && text.front() == '!') {
            rule.negated = true;
            text.remove_prefix(1);
        }
        if (!text.empty() && text.back() == '/') {
            rule.foldersOnly = true;
            text.remove_suffix(1);
        }
        // A blank line, and an empty pattern ("/", "!"), match nothing.
        if (text.empty())
            continue;
        rule.parts = PatternParts(text);
        rule.anchored = rule.parts.size() > 1;
        if (rule.anchored && rule.parts.front().empty() && text.front() == '/')
            rule.parts.erase(rule.parts.begin());
        anyAnchored_ = anyAnchored_ || rule.anchored;
        rules_.push_back(std::move(rule));
    }
}

bool KeepList::RuleMatches(const Rule& rule, const std::vector<std::string_view>& path, std::size_t length,
                           bool isFolder) {
    if (rule.foldersOnly && !isFolder)
        return false;
    if (!rule.anchored)
        return GlobMatch(rule.parts.front(), path[length - 1]);
    return PartsMatch(rule.parts, path, length);
}

KeepList::Verdict KeepList::Judge(const std::vector<std::string_view>& path, std::size_t length,
                                  bool isFolder) const {
    for (auto rule = rules_.rbegin(); rule != rules_.rend(); ++rule)
        if (RuleMatches(*rule, path, length, isFolder))
            return rule->negated ? Verdict::TakeBack : Verdict::Keep;
    return Verdict::None;
}

bool KeepList::Keeps(std::string_view relPath, KeepKind kind) const {
    if (rules_.empty() || relPath.empty())
        return false;
    const std::vector<std::string_view> path = SplitParts(relPath);
    // Every folder on the entry's way from the Desktop, and the entry itself:
    // a kept folder keeps all it holds, whatever a later line says of it.
    for (std::size_t length = 1; length <= path.size(); ++length) {
        const bool isFolder = length < path.size() || kind == KeepKind::Folder;
        if (Judge(path, length, isFolder) == Verdict::Keep)
            return true;
    }
    return false;
}

bool KeepList::Matches(std::string_view relPath, KeepKind kind) const {
    if (rules_.empty() || relPath.empty())
        return false;
    const bool isFolder = kind == KeepKind::Folder;
    if (!anyAnchored_) {
        // The common case (the default list): the name alone decides, and
        // the path need not be taken apart for every file of a walk.
        const std::size_t slash = relPath.rfind('/');
        const std::string_view name = slash == std::string_view::npos ? relPath : relPath.substr(slash + 1);
        for (auto rule = rules_.rbegin(); rule != rules_.rend(); ++rule)
            if ((!rule->foldersOnly || isFolder) && GlobMatch(rule->parts.front(), name))
                return !rule->negated;
        return false;
    }
    const std::vector<std::string_view> path = SplitParts(relPath);
    return Judge(path, path.size(), isFolder) == Verdict::Keep;
}

}  // namespace tidyfold
