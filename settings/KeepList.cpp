#include "settings/KeepList.h"

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

}  // namespace

std::vector<std::string> DefaultKeepPatterns() { return {"*.desktop", ".*"}; }

KeepList::KeepList(const std::vector<std::string>& patterns) {
    for (std::string_view text : patterns) {
        Rule rule;
        if (!text.empty() && text.back() == '/') {
            rule.foldersOnly = true;
            text.remove_suffix(1);
        }
        rule.anchored = text.find('/') != std::string_view::npos;
        if (rule.anchored && text.front() == '/')
            text.remove_prefix(1);
        // An empty pattern ("" or "/") matches nothing; it is kept in the
        // list as written, but makes no rule.
        if (text.empty())
            continue;
        for (std::string_view part : SplitParts(text))
            rule.parts.emplace_back(part);
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

bool KeepList::Keeps(std::string_view relPath, KeepKind kind) const {
    if (rules_.empty() || relPath.empty())
        return false;
    const std::vector<std::string_view> path = SplitParts(relPath);
    // The entry itself, and every folder on its way from the Desktop: a kept
    // folder keeps all it holds.
    for (std::size_t length = 1; length <= path.size(); ++length) {
        const bool isFolder = length < path.size() || kind == KeepKind::Folder;
        for (const Rule& rule : rules_)
            if (RuleMatches(rule, path, length, isFolder))
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
        for (const Rule& rule : rules_)
            if ((!rule.foldersOnly || isFolder) && GlobMatch(rule.parts.front(), name))
                return true;
        return false;
    }
    const std::vector<std::string_view> path = SplitParts(relPath);
    for (const Rule& rule : rules_)
        if (RuleMatches(rule, path, path.size(), isFolder))
            return true;
    return false;
}

}  // namespace tidyfold
