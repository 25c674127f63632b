#pragma once

#include <cstdio>
#include <cstdlib>

// A broken promise found by a fuzz target: say which, and abort so that libFuzzer keeps the input
// (and the replaying test fails on it).
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
