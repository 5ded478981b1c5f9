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

// At "[:" inside a bracket: the class name up to ":]" and where the bracket
// goes on after it. Nothing when what follows cannot be a class name: the
// "[" is then an ordinary member. Names are made of the letters "a" to "y",
// as glibc reads them (no class has a "z").
struct ClassName {
    std::string_view name;
    std::size_t next = 0;
};
std::optional<ClassName> ReadClassName(std::string_view pattern, std::size_t i) {
    if (i + 1 >= pattern.size() || pattern[i] != '[' || pattern[i + 1] != ':')
        return std::nullopt;
    for (std::size_t j = i + 2; j < pattern.size(); ++j) {
        if (pattern[j] == ':' && j + 1 < pattern.size() && pattern[j + 1] == ']')
            return ClassName{pattern.substr(i + 2, j - (i + 2)), j + 2};
        if (pattern[j] < 'a' || pattern[j] >= 'z')
            return std::nullopt;
    }
    return std::nullopt;
}

// Longest class name the system accepts; a longer one makes the pattern
// ill-formed.
constexpr std::size_t kMaxClassName = 2048;

enum class Bracket {
    In,        // c is in the set
    Out,       // c is not
    Fails,     // nothing can match here: an unknown class, a lone "\" at the end
    Unclosed,  // never closed: the "[" is an ordinary byte
};

// One member of a bracket at pattern[i]: whether c is in it. Moves i past
// it; false (with fails set) when the member makes the pattern ill-formed.
bool MemberHas(std::string_view pattern, std::size_t& i, unsigned char c, bool& fails) {
    if (const auto named = ReadClassName(pattern, i)) {
        const std::optional<bool> has = ClassHas(named->name, c);
        fails = !has || named->name.size() > kMaxClassName;
        i = named->next;
        return !fails && *has;
    }
    unsigned char low = At(pattern, i);
    if (low == '\\') {
        if (i + 1 >= pattern.size())
            return !(fails = true);
        low = At(pattern, ++i);
    }
    ++i;
    unsigned char high = low;
    // A "-" between two members makes a range; first or last it is itself.
    if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
        std::size_t h = i + 1;
        if (pattern[h] == '\\' && ++h >= pattern.size())
            return !(fails = true);
        high = At(pattern, h);
        i = h + 1;
    }
    return low <= c && c <= high;
}

// Past one member at pattern[i] without judging it, once the set has already
// matched; false when the pattern ends in a lone "\".
bool SkipMember(std::string_view pattern, std::size_t& i) {
    if (const auto named = ReadClassName(pattern, i)) {
        i = named->next;
        return true;
    }
    if (pattern[i] == '\\' && ++i >= pattern.size())
        return false;
    ++i;
    return true;
}

// The bracket expression at pattern[start] == '[' against c. Members are
// judged in order until one holds c, the rest only passed over, as fnmatch
// does; next is where the pattern goes on.
Bracket MatchBracket(std::string_view pattern, std::size_t start, unsigned char c, std::size_t& next) {
    std::size_t i = start + 1;
    const bool negate = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negate)
        ++i;
    bool hit = false;
    for (bool first = true; i < pattern.size(); first = false) {
        if (pattern[i] == ']' && !first) {
            next = i + 1;
            return hit != negate ? Bracket::In : Bracket::Out;
        }
        bool fails = false;
        if (hit ? !SkipMember(pattern, i) : (hit = MemberHas(pattern, i, c, fails), fails))
            return Bracket::Fails;
    }
    // Never closed: an ordinary "[", whatever its members would have said.
    return Bracket::Unclosed;
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
                std::size_t next = 0;
                const Bracket bracket = MatchBracket(pattern, p, At(name, n), next);
                if (bracket == Bracket::In) {
                    p = next;
                    ++n;
                    continue;
                }
                if (bracket == Bracket::Unclosed && name[n] == '[') {
                    ++p;
                    ++n;
                    continue;
                }
            } else {
                std::size_t q = p;
                if (pc == '\\' && ++q == pattern.size())
                    return false;  // a "\" with nothing after it matches nothing
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
