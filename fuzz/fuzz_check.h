#pragma once

// A property that fails stops the fuzzer like a crash, with the property named.

#include <cstdio>
#include <cstdlib>

#define PXW_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
