#pragma once
// A fuzz target's assertion. It aborts, so libFuzzer keeps the input that
// broke the rule, and unlike assert() it still checks in a build with NDEBUG.

#include <cstdlib>

namespace typetoki::fuzz {

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace typetoki::fuzz
