// Run-time choice among the rolling paths.
#include "CodePathChoice.h"
#include "CpuFeatures.h"
#include "rabin_roll.h"

namespace rabin_roll {

namespace {

bool cpu_has_avx2() {
#ifdef DEDUP_ROLL_AVX2
    return cpuFeatures().avx2;
#else
    return false;
#endif
}

bool cpu_has_avx512() {
#ifdef DEDUP_ROLL_AVX512
    return cpuFeatures().avx512f && cpuFeatures().avx512bw;
#else
    return false;
#endif
}

bool runs_everywhere() { return true; }

#ifdef DEDUP_ROLL_AVX512
constexpr RollFunction kAvx512 = roll_avx512;
#else
constexpr RollFunction kAvx512 = roll_portable;  // never chosen: not supported
#endif
#ifdef DEDUP_ROLL_AVX2
constexpr RollFunction kAvx2 = roll_avx2;
#else
constexpr RollFunction kAvx2 = roll_portable;  // never chosen: not supported
#endif

using Choice = CodePathChoice<Path, RollFunction, 3>;

Choice choice(std::array<Choice::Candidate, 3>{{
    {Path::avx512, cpu_has_avx512, kAvx512},
    {Path::avx2, cpu_has_avx2, kAvx2},
    {Path::portable, runs_everywhere, roll_portable},
}});

}  // namespace

bool supported(Path path) { return choice.supported(path); }
Path fastest() { return choice.fastest(); }
Path use(Path path) { return choice.use(path); }
RollFunction current() { return choice.current(); }

}  // namespace rabin_roll
