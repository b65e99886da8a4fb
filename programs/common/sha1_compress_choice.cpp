// Run-time choice between the SHA-extensions compression and the portable one.
#include "sha1_compress.h"

#if defined(DEDUP_SHA1_FAST_PATH) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#define DEDUP_SHA1_CAN_DETECT 1
#endif

namespace sha1_compress {

namespace {

bool cpu_has_sha_extensions()
{
#ifdef DEDUP_SHA1_CAN_DETECT
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return false;
    }
    const bool has_ssse3 = (ecx & bit_SSSE3) != 0;
    const bool has_sse41 = (ecx & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) {
        return false;
    }
    const bool has_sha = (ebx & bit_SHA) != 0;
    return has_sha && has_sse41 && has_ssse3;
#else
    return false;
#endif
}

// Decided once before main; tests may change it through
// enable_sha_extensions.
bool use_sha_extensions = sha_extensions_supported();

}  // namespace

bool sha_extensions_supported()
{
    static const bool supported = cpu_has_sha_extensions();
    return supported;
}

bool sha_extensions_enabled() { return use_sha_extensions; }

bool enable_sha_extensions(bool enable)
{
    use_sha_extensions = enable && sha_extensions_supported();
    return use_sha_extensions;
}

}  // namespace sha1_compress
