// What this CPU can run, probed once, on first use, for every fast path of
// the program (the SHA-1 compression, the rolling fingerprint).
#ifndef DEDUP_COMMON_CPUFEATURES_H
#define DEDUP_COMMON_CPUFEATURES_H

struct CpuFeatures {
    bool ssse3 = false;
    bool sse41 = false;
    bool sha = false;  // the SHA extensions
    bool avx2 = false;
    bool avx512f = false;
    bool avx512bw = false;
};

// The features of the CPU the process runs on. The vector features count only
// when the operating system also saves their registers.
const CpuFeatures& cpuFeatures();

#endif
