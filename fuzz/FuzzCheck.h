#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep. A broken one aborts, so libFuzzer saves the input.
inline void fuzzCheck(bool holds, const char *property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}
