// Sixteen positions at a time with AVX2 (this file alone is compiled for it).
//
// With g_i = incoming_i - C * outgoing_i, the fingerprints obey
// f_i = 7 * f_(i-1) + g_i. Within eight lanes a prefix scan gives
// P_t = sum over u <= t of 7^(t-u) * g_u; then f_t = 7^(t+1) * F + P_t, F being
// the fingerprint before the group. The second eight lanes are computed from
// F directly (not from the first eight), and F itself is carried in a scalar
// register, so the only dependency from group to group is one multiply and
// one add.
#include <immintrin.h>

#include <cstring>

#include "rabin_roll.h"
#include "rabin_roll_step.h"

namespace rabin_roll {

namespace {

constexpr int source_lane(int lane, int shift) { return lane < shift ? 0 : lane - shift; }

// Lane t takes lane t - K; the lowest K lanes become zero.
template <int K>
__m256i shift_lanes_up(__m256i v) {
    const __m256i index = _mm256_setr_epi32(source_lane(0, K), source_lane(1, K), source_lane(2, K),
                                            source_lane(3, K), source_lane(4, K), source_lane(5, K),
                                            source_lane(6, K), source_lane(7, K));
    const __m256i moved = _mm256_permutevar8x32_epi32(v, index);
    return _mm256_blend_epi32(moved, _mm256_setzero_si256(), (1 << K) - 1);
}

__m256i times_7(__m256i x) { return _mm256_sub_epi32(_mm256_slli_epi32(x, 3), x); }

__m256i times_49(__m256i x) {  // 64x - 16x + x
    return _mm256_add_epi32(_mm256_sub_epi32(_mm256_slli_epi32(x, 6), _mm256_slli_epi32(x, 4)), x);
}

__m256i prefix_scan(__m256i g) {
    __m256i p = _mm256_add_epi32(g, times_7(shift_lanes_up<1>(g)));
    p = _mm256_add_epi32(p, times_49(shift_lanes_up<2>(p)));
    return _mm256_add_epi32(p, _mm256_mullo_epi32(shift_lanes_up<4>(p), _mm256_set1_epi32(2401)));
}

__m256i load_eight_bytes(const unsigned char* bytes) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)));
}

unsigned anchor_lanes(__m256i fingerprints, __m256i mask) {
    const __m256i is_anchor = _mm256_cmpeq_epi32(_mm256_and_si256(fingerprints, mask), _mm256_setzero_si256());
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(is_anchor)));
}

}  // namespace

std::uint32_t roll_avx2(std::uint32_t fingerprint, const unsigned char* stream, std::size_t window_size,
                        std::size_t count, std::uint32_t outgoing_weight, std::uint32_t mask,
                        std::uint64_t* anchor_bits) {
    std::uint32_t powers[16];  // 7^1 .. 7^16
    std::uint32_t power = 1;
    for (auto& p : powers) p = power *= 7;
    const __m256i low_powers = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(powers));
    const __m256i high_powers = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(powers + 8));
    const __m256i weight = _mm256_set1_epi32(static_cast<int>(outgoing_weight));
    const __m256i mask_lanes = _mm256_set1_epi32(static_cast<int>(mask));
    const __m256i lane_seven = _mm256_set1_epi32(7);

    const std::uint32_t power_16 = powers[15];
    std::memset(anchor_bits, 0, (count + 63) / 64 * sizeof(std::uint64_t));
    const unsigned char* outgoing = stream;
    const unsigned char* incoming = stream + window_size;
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i g_low = _mm256_sub_epi32(load_eight_bytes(incoming + i),
                                               _mm256_mullo_epi32(weight, load_eight_bytes(outgoing + i)));
        const __m256i g_high = _mm256_sub_epi32(load_eight_bytes(incoming + i + 8),
                                                _mm256_mullo_epi32(weight, load_eight_bytes(outgoing + i + 8)));
        const __m256i p_low = prefix_scan(g_low);
        // What the sixteen bytes contribute, apart from the fingerprint before them.
        const __m256i p_high = _mm256_add_epi32(
            prefix_scan(g_high), _mm256_mullo_epi32(_mm256_permutevar8x32_epi32(p_low, lane_seven), low_powers));
        const __m256i before = _mm256_set1_epi32(static_cast<int>(fingerprint));
        const __m256i low = _mm256_add_epi32(p_low, _mm256_mullo_epi32(before, low_powers));
        const __m256i high = _mm256_add_epi32(p_high, _mm256_mullo_epi32(before, high_powers));
        // Carried in a scalar register: one multiply and one add per group.
        fingerprint = fingerprint * power_16 +
                      static_cast<std::uint32_t>(_mm256_extract_epi32(p_high, 7));
        const std::uint64_t bits = anchor_lanes(low, mask_lanes) | anchor_lanes(high, mask_lanes) << 8;
        anchor_bits[i / 64] |= bits << (i % 64);
    }
    return roll_one_at_a_time(fingerprint, stream, window_size, i, count, outgoing_weight, mask, anchor_bits);
}

}  // namespace rabin_roll
