#include "FuzzCheck.h"

#include <cstdio>

void fuzzCheckFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
    std::fflush(stderr);
    __builtin_trap();
}
