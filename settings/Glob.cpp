#include "settings/Glob.h"

#include <cctype>
#include <cstddef>
#include <optional>

namespace tidyfold {

namespace {

// Bytes as unsigned values, so that names that are not ASCII compare as the
// system orders them.
unsigned char At(std::string_view text, std::size_t i) { return static_cast<unsigned char>(text[i]); }

// Whether c is in the class name of the "C" locale; nothing when there is
// no such class.
std::optional<bool> ClassHas(std::string_view name, unsigned char c) {
    struct Class {
        std::string_view name;
        int (*test)(int);
    };
    static constexpr Class kClasses[] = {
        {"alnum", isalnum}, {"alpha", isalpha}, {"blank", isblank}, {"cntrl", iscntrl},
        {"digit", isdigit}, {"graph", isgraph}, {"lower", islower}, {"print", isprint},
        {"punct", ispunct}, {"space", isspace}, {"upper", isupper}, {"xdigit", isxdigit},
    };
    for (const Class& known : kClasses)
        if (known.name == name)
            // The "C" locale's classes are ASCII only, whatever the process's
            // locale says of the other bytes.
            return c < 0x80 && known.test(c) != 0;
    return std::nullopt;
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

// Longest class name the system accepts; a longer one makes the pattern
// ill-formed.
constexpr std::size_t kMaxClassName = 2048;

// At "[:" inside a bracket: the class name up to ":]" and where the bracket
// goes on after it. Nothing when what follows cannot be a class name: the
// "[" is then an ordinary member. Names are made of the letters "a" to "y",
// as glibc reads them (no class has a "z").
struct ClassName {
    std::string_view name;
    std::size_t next = 0;
};
std::optional<ClassName> ReadClassName(std::string_view pattern, std::size_t i) {
    for (std::size_t j = i + 2; j < pattern.size(); ++j) {
        if (pattern[j] == ':' && j + 1 < pattern.size() && pattern[j + 1] == ']')
            return ClassName{pattern.substr(i + 2, j - (i + 2)), j + 2};
        if (pattern[j] < 'a' || pattern[j] >= 'z')
            return std::nullopt;
    }
    return std::nullopt;
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
            if (const auto named = ReadClassName(pattern, i)) {
                // An unknown or overlong name makes the whole pattern match
                // nothing.
                const std::optional<bool> has = ClassHas(named->name, c);
                if (!has || named->name.size() > kMaxClassName)
                    result.valid = false;
                else if (*has)
                    result.matched = true;
                i = named->next;
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
