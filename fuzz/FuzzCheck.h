// An invariant check that stops the fuzzer with a readable reason.
#pragma once

#include <cstdio>
#include <cstdlib>

#define TARVIK_FUZZ_CHECK(condition)                                                           \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)
