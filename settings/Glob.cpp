#include "settings/Glob.h"

#include <cctype>
#include <cstddef>
#include <optional>

namespace tidyfold {

namespace {

// Bytes as unsigned values, so that names that are not ASCII compare as the
// system orders them.
unsigned char At(std::string_view text, std::size_t i) { return static_cast<unsigned char>(text[i]); }

bool InClass(std::string_view name, unsigned char c) {
    struct Class {
        std::string_view name;
        int (*test)(int);
    };
    static constexpr Class kClasses[] = {
        {"alnum", isalnum}, {"alpha", isalpha}, {"blank", isblank}, {"cntrl", iscntrl},
        {"digit", isdigit}, {"graph", isgraph}, {"lower", islower}, {"print", isprint},
        {"punct", ispunct}, {"space", isspace}, {"upper", isupper}, {"xdigit", isxdigit},
    };
    // The "C" locale's classes are ASCII only, whatever the process's locale.
    if (c >= 0x80)
        return false;
    for (const Class& known : kClasses)
        if (known.name == name)
            return known.test(c) != 0;
    return false;
}

// The outcome of a bracket expression starting at pattern[start] == '[':
// whether c is in the set, and where the pattern goes on after it. Nothing
// when the bracket is never closed (the "[" is then an ordinary byte), or when
// it names a class that does not exist (nothing can match then).
struct Bracket {
    bool matched = false;
    std::size_t next = 0;
    bool valid = true;
};

std::optional<std::size_t> ClassEnd(std::string_view pattern, std::size_t i) {
    // i is at "[:"; the class runs to the next ":]".
    const std::size_t end = pattern.find(":]", i + 2);
    if (end == std::string_view::npos)
        return std::nullopt;
    return end;
}

std::optional<Bracket> MatchBracket(std::string_view pattern, std::size_t start, unsigned char c) {
    std::size_t i = start + 1;
    const bool negate = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negate)
        ++i;
    Bracket result;
    bool first = true;
    while (i < pattern.size()) {
        if (pattern[i] == ']' && !first) {
            result.matched = result.matched != negate;
            result.next = i + 1;
            return result;
        }
        first = false;
        if (pattern[i] == '[' && i + 1 < pattern.size() && pattern[i + 1] == ':') {
            if (const auto end = ClassEnd(pattern, i)) {
                const std::string_view name = pattern.substr(i + 2, *end - (i + 2));
                static constexpr std::string_view kKnown[] = {"alnum", "alpha", "blank", "cntrl", "digit", "graph",
                                                               "lower", "print", "punct", "space", "upper", "xdigit"};
                bool known = false;
                for (std::string_view k : kKnown)
                    known = known || k == name;
                if (!known)
                    result.valid = false;
                else if (InClass(name, c))
                    result.matched = true;
                i = *end + 2;
                continue;
            }
        }
        unsigned char low = At(pattern, i);
        if (low == '\\' && i + 1 < pattern.size())
            low = At(pattern, ++i);
        ++i;
        unsigned char high = low;
        // A "-" between two members makes a range; first or last it is itself.
        if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
            std::size_t h = i + 1;
            if (pattern[h] == '\\' && h + 1 < pattern.size())
                ++h;
            high = At(pattern, h);
            i = h + 1;
        }
        if (low <= c && c <= high)
            result.matched = true;
    }
    return std::nullopt;
}

}  // namespace

bool GlobMatch(std::string_view pattern, std::string_view name) {
    // The classic loop: on a mismatch, go back to the last "*" and let it take
    // one more byte. Linear in practice, never worse than the product of the
    // two lengths.
    std::size_t p = 0, n = 0;
    std::optional<std::size_t> starP, starN;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char pc = pattern[p];
            if (pc == '*') {
                starP = ++p;
                starN = n;
                continue;
            }
            if (pc == '?') {
                ++p;
                ++n;
                continue;
            }
            if (pc == '[') {
                if (const auto bracket = MatchBracket(pattern, p, At(name, n))) {
                    if (!bracket->valid)
                        return false;
                    if (bracket->matched) {
                        p = bracket->next;
                        ++n;
                        continue;
                    }
                } else if (name[n] == '[') {
                    ++p;
                    ++n;
                    continue;
                }
            } else {
                std::size_t q = p;
                if (pc == '\\' && q + 1 < pattern.size())
                    ++q;
                if (pattern[q] == name[n]) {
                    p = q + 1;
                    ++n;
                    continue;
                }
            }
        }
        if (!starP)
            return false;
        p = *starP;
        n = ++*starN;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace tidyfold
