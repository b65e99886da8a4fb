#include "CpuFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define DEDUP_CPUID_PROBE 1
#endif

namespace {

#ifdef DEDUP_CPUID_PROBE
// The register state the operating system saves on a context switch (XCR0).
unsigned long long savedRegisterState() {
    unsigned eax = 0, edx = 0;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return (static_cast<unsigned long long>(edx) << 32) | eax;
}
#endif

CpuFeatures probe() {
    CpuFeatures features;
#ifdef DEDUP_CPUID_PROBE
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return features;
    features.ssse3 = (ecx & bit_SSSE3) != 0;
    features.sse41 = (ecx & bit_SSE4_1) != 0;
    const bool os_saves_vectors = (ecx & bit_OSXSAVE) != 0;
    const unsigned long long state = os_saves_vectors ? savedRegisterState() : 0;
    const bool ymm_saved = (state & 0x6) == 0x6;     // SSE and AVX state
    const bool zmm_saved = (state & 0xE6) == 0xE6;   // and the AVX-512 state
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return features;
    features.sha = (ebx & bit_SHA) != 0;
    features.avx2 = ymm_saved && (ebx & bit_AVX2) != 0;
    features.avx512f = zmm_saved && (ebx & bit_AVX512F) != 0;
    features.avx512bw = zmm_saved && (ebx & bit_AVX512BW) != 0;
#endif
    return features;
}

}  // namespace

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = probe();
    return features;
}
