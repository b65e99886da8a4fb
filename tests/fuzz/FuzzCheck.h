// Property checks of the fuzz targets: a failed check names itself on
// standard error and traps, so libFuzzer keeps the input as a crash.
#ifndef DEDUP_FUZZ_FUZZCHECK_H
#define DEDUP_FUZZ_FUZZCHECK_H

[[noreturn]] void fuzzCheckFailed(const char* condition, const char* file, int line);

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : fuzzCheckFailed(#condition, __FILE__, __LINE__))

#endif
