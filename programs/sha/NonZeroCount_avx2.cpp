// The AVX2 path of counting non-zero bytes, compiled for AVX2 alone.
#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "NonZeroCount.h"

namespace non_zero_count {

std::size_t count_avx2(const unsigned char* bytes, std::size_t length) {
    // The zero bytes, counted in 32 byte lanes: a zero byte compares equal
    // to 0xFF, -1, so subtracting the comparison adds one to its lane. Every
    // 255 rounds, before a lane could overflow, the lanes are summed into
    // four 64-bit totals.
    const __m256i zero = _mm256_setzero_si256();
    __m256i totals = zero;
    std::size_t i = 0;
    while (length - i >= 32) {
        const std::size_t rounds = std::min<std::size_t>((length - i) / 32, 255);
        __m256i lanes = zero;
        for (std::size_t round = 0; round < rounds; ++round, i += 32) {
            const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
            lanes = _mm256_sub_epi8(lanes, _mm256_cmpeq_epi8(block, zero));
        }
        totals = _mm256_add_epi64(totals, _mm256_sad_epu8(lanes, zero));
    }
    const std::size_t zeros = static_cast<std::size_t>(_mm256_extract_epi64(totals, 0) + _mm256_extract_epi64(totals, 1) +
                                                       _mm256_extract_epi64(totals, 2) + _mm256_extract_epi64(totals, 3));
    std::size_t count = i - zeros;
    for (; i < length; ++i) count += bytes[i] != 0;
    return count;
}

}  // namespace non_zero_count
