#pragma once
// A property of a parser that an input broke: reported, then aborted, so that
// libFuzzer keeps the input and the replay of fuzz/<target>/reproducers fails.
#include <cstdio>
#include <cstdlib>

namespace nox_fuzz {

[[noreturn]] inline void Finding(const char *what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

inline void Require(bool holds, const char *what) {
    if (!holds) Finding(what);
}

}  // namespace nox_fuzz
