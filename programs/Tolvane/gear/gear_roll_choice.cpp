// Run-time choice among the Gear paths.
#include "CodePathChoice.h"
#include "CpuFeatures.h"
#include "gear_roll.h"

namespace gear_roll {

namespace {

bool cpu_has_avx512() {
#ifdef DEDUP_GEAR_AVX512
    return cpuFeatures().avx512f;
#else
    return false;
#endif
}

bool runs_everywhere() { return true; }

#ifdef DEDUP_GEAR_AVX512
constexpr RollFunction kAvx512 = roll_avx512;
#else
constexpr RollFunction kAvx512 = roll_portable;  // never chosen: not supported
#endif

using Choice = CodePathChoice<Path, RollFunction, 2>;

Choice choice(std::array<Choice::Candidate, 2>{{
    {Path::avx512, cpu_has_avx512, kAvx512},
    {Path::portable, runs_everywhere, roll_portable},
}});

}  // namespace

bool supported(Path path) { return choice.supported(path); }
Path fastest() { return choice.fastest(); }
Path use(Path path) { return choice.use(path); }
RollFunction current() { return choice.current(); }

}  // namespace gear_roll
