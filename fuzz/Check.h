#pragma once

// A broken property must stop the run even in a release build, where assert() is compiled out;
// the message names the property so the crash report says what went wrong, not only where.
#include <cstdio>

#define TESSEL_CHECK(condition)                                                                   \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            __builtin_trap();                                                                     \
        }                                                                                         \
    } while (false)
