// Run-time choice among the rolling paths.
#include "rabin_roll.h"

namespace rabin_roll {

namespace {

bool cpu_has(Path path) {
#ifdef DEDUP_ROLL_FAST_PATH
    __builtin_cpu_init();
    if (path == Path::avx2) return __builtin_cpu_supports("avx2");
    if (path == Path::avx512) return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#endif
    return path == Path::portable;
}

RollFunction function_of(Path path) {
#ifdef DEDUP_ROLL_FAST_PATH
    if (path == Path::avx512) return roll_avx512;
    if (path == Path::avx2) return roll_avx2;
#endif
    (void)path;
    return roll_portable;
}

RollFunction chosen = function_of(fastest());

}  // namespace

bool supported(Path path) {
    static const bool has_avx2 = cpu_has(Path::avx2);
    static const bool has_avx512 = cpu_has(Path::avx512);
    return path == Path::portable || (path == Path::avx2 && has_avx2) || (path == Path::avx512 && has_avx512);
}

Path fastest() {
    if (supported(Path::avx512)) return Path::avx512;
    if (supported(Path::avx2)) return Path::avx2;
    return Path::portable;
}

Path use(Path path) {
    const Path in_force = supported(path) ? path : Path::portable;
    chosen = function_of(in_force);
    return in_force;
}

RollFunction current() { return chosen; }

}  // namespace rabin_roll
