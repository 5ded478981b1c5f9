#pragma once

// A failed property inside a fuzz target: print what broke and abort, so
// libFuzzer (or the replay runner) reports the input that did it.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, message)                                                     \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: %s (%s)\n", __FILE__, __LINE__, message, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)
