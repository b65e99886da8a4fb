// Run-time choice between the SHA-extensions compression and the portable one.
#include "CodePathChoice.h"
#include "CpuFeatures.h"
#include "sha1_compress.h"

namespace sha1_compress {

namespace {

bool cpu_has_sha_extensions() {
#ifdef DEDUP_SHA1_FAST_PATH
    const CpuFeatures& cpu = cpuFeatures();
    return cpu.sha && cpu.sse41 && cpu.ssse3;
#else
    return false;
#endif
}

bool runs_everywhere() { return true; }

#ifdef DEDUP_SHA1_FAST_PATH
constexpr Function kShaExtensions = compress_with_sha_extensions;
constexpr LanesFunction kTwoShaExtensions = compress_two_with_sha_extensions;
constexpr LanesFunction kFourShaExtensions = compress_four_with_sha_extensions;
#else
constexpr Function kShaExtensions = compress_portable;  // never chosen: not supported
constexpr LanesFunction kTwoShaExtensions = compress_two_portable;
constexpr LanesFunction kFourShaExtensions = compress_four_portable;
#endif

using Choice = CodePathChoice<Path, Function, 2>;
using LanesChoice = CodePathChoice<Path, LanesFunction, 2>;

// The compressions of one, two and four messages are chosen together.
Choice choice(std::array<Choice::Candidate, 2>{{
    {Path::sha_extensions, cpu_has_sha_extensions, kShaExtensions},
    {Path::portable, runs_everywhere, compress_portable},
}});
LanesChoice two_choice(std::array<LanesChoice::Candidate, 2>{{
    {Path::sha_extensions, cpu_has_sha_extensions, kTwoShaExtensions},
    {Path::portable, runs_everywhere, compress_two_portable},
}});
LanesChoice four_choice(std::array<LanesChoice::Candidate, 2>{{
    {Path::sha_extensions, cpu_has_sha_extensions, kFourShaExtensions},
    {Path::portable, runs_everywhere, compress_four_portable},
}});

}  // namespace

bool supported(Path path) { return choice.supported(path); }
Path fastest() { return choice.fastest(); }
Path use(Path path) {
    two_choice.use(path);
    four_choice.use(path);
    return choice.use(path);
}
Function current() { return choice.current(); }
LanesFunction current_two() { return two_choice.current(); }
LanesFunction current_four() { return four_choice.current(); }

}  // namespace sha1_compress
