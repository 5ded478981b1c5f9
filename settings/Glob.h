#pragma once

// Wildcards within one name, as shells and ignore files know them. Bytes,
// not characters, whatever the locale: a pass started by the schedule, with
// no language set, must decide exactly as the window does.

#include <string_view>

namespace tidyfold {

// True when name matches pattern as a whole:
//  - "*" any run of bytes, "?" one byte;
//  - "[...]" one byte of a set: ranges ("a-z"), "!" or "^" first for the
//    complement, "]" first as a member, and the classes "[:alpha:]" and the
//    like of the "C" locale; a "[" that is never closed is an ordinary byte;
//  - "\" takes the next byte as it is; one at the very end matches nothing.
// As fnmatch(3) with no flags in the "C" locale, which the fuzzer checks.
bool GlobMatch(std::string_view pattern, std::string_view name);

}  // namespace tidyfold
