// Run-time choice between the AVX2 rolling path and the portable one.
#include "rabin_roll.h"

namespace rabin_roll {

namespace {

bool cpu_has_avx2() {
#ifdef DEDUP_ROLL_FAST_PATH
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

RollFunction pick(bool use_avx2) {
#ifdef DEDUP_ROLL_FAST_PATH
    if (use_avx2) return roll_avx2;
#endif
    (void)use_avx2;
    return roll_portable;
}

RollFunction chosen = pick(avx2_supported());

}  // namespace

bool avx2_supported() {
    static const bool supported = cpu_has_avx2();
    return supported;
}

bool enable_avx2(bool enable) {
    const bool use_avx2 = enable && avx2_supported();
    chosen = pick(use_avx2);
    return use_avx2;
}

RollFunction current() { return chosen; }

}  // namespace rabin_roll
