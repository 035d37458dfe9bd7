#pragma once
// A fuzz target's assertion. It aborts, so libFuzzer keeps the input that
// broke the rule, and unlike assert() it still checks in a build with NDEBUG.
// It names the rule's line first: the stack trace of a target built with
// -O1 often does not.

#include <cstdio>
#include <cstdlib>

namespace typetoki::fuzz {

inline void Check(bool condition, const char *file = __builtin_FILE(), int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "check failed at %s:%d\n", file, line);
    std::abort();
}

}  // namespace typetoki::fuzz
