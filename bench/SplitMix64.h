// SplitMix64: a fast stream of uniform 64-bit numbers, standing in for the
// digests (as uniform as SHA-1's) that the store's timers feed it.
#ifndef DEDUP_BENCH_SPLITMIX64_H
#define DEDUP_BENCH_SPLITMIX64_H

#include <cstdint>

inline std::uint64_t nextSplitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

#endif
