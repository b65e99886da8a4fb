// Thirty-two positions at a time with AVX-512 (this file alone is compiled
// for it). The same scheme as the AVX2 path, on sixteen lanes: a prefix scan
// gives each lane's contribution, and the fingerprint before the group is
// carried in a scalar register.
//
// When the anchor mask lies in the low 16 bits, only the fingerprints' low
// 16 bits decide anchors, and those follow the same recurrence modulo 2^16:
// then 32 positions fit one register of 16-bit lanes. The full fingerprint at
// the end of the span is recovered from the last window: a fingerprint is the
// window's polynomial plus an offset (from the first-byte rule) that only
// gets multiplied by 7 at each step.
#include <immintrin.h>

#include <cstring>

#include "rabin_roll.h"
#include "rabin_roll_step.h"

namespace rabin_roll {

namespace {

constexpr int source_lane(int lane, int shift) { return lane < shift ? 0 : lane - shift; }

// Lane t takes lane t - K; the lowest K lanes become zero.
template <int K>
__m512i shift_lanes_up(__m512i v) {
    const __m512i index = _mm512_setr_epi32(
        source_lane(0, K), source_lane(1, K), source_lane(2, K), source_lane(3, K), source_lane(4, K),
        source_lane(5, K), source_lane(6, K), source_lane(7, K), source_lane(8, K), source_lane(9, K),
        source_lane(10, K), source_lane(11, K), source_lane(12, K), source_lane(13, K), source_lane(14, K),
        source_lane(15, K));
    return _mm512_maskz_permutexvar_epi32(static_cast<__mmask16>(0xFFFFu << K), index, v);
}

__m512i times_7(__m512i x) { return _mm512_sub_epi32(_mm512_slli_epi32(x, 3), x); }

// P_t = sum over u <= t of 7^(t-u) * g_u, in four doubling steps.
__m512i prefix_scan(__m512i g) {
    __m512i p = _mm512_add_epi32(g, times_7(shift_lanes_up<1>(g)));
    p = _mm512_add_epi32(p, _mm512_mullo_epi32(shift_lanes_up<2>(p), _mm512_set1_epi32(49)));
    p = _mm512_add_epi32(p, _mm512_mullo_epi32(shift_lanes_up<4>(p), _mm512_set1_epi32(2401)));
    return _mm512_add_epi32(p, _mm512_mullo_epi32(shift_lanes_up<8>(p), _mm512_set1_epi32(5764801)));
}

__m512i load_sixteen_bytes(const unsigned char* bytes) {
    return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
}

std::uint32_t last_lane(__m512i v) {
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm512_extracti32x4_epi32(v, 3), 3));
}

// Positions in 16-bit lanes: lane t takes lane t - K; the lowest K become zero.
template <int K>
struct WordShiftIndex {
    std::uint16_t lanes[32];
    constexpr WordShiftIndex() : lanes() {
        for (int t = 0; t < 32; ++t) lanes[t] = static_cast<std::uint16_t>(source_lane(t, K));
    }
};

template <int K>
__m512i shift_words_up(__m512i v) {
    static constexpr WordShiftIndex<K> index{};
    return _mm512_maskz_permutexvar_epi16(static_cast<__mmask32>(0xFFFFFFFFu << K), _mm512_loadu_si512(index.lanes),
                                          v);
}

__m512i times_word(__m512i x, std::uint16_t factor) {
    return _mm512_mullo_epi16(x, _mm512_set1_epi16(static_cast<short>(factor)));
}

// The 32-lane prefix scan modulo 2^16; powers[k] = 7^(k+1) mod 2^16.
__m512i prefix_scan_words(__m512i g, const std::uint16_t* powers) {
    __m512i p = _mm512_add_epi16(g, _mm512_sub_epi16(_mm512_slli_epi16(shift_words_up<1>(g), 3),
                                                     shift_words_up<1>(g)));
    p = _mm512_add_epi16(p, times_word(shift_words_up<2>(p), powers[1]));
    p = _mm512_add_epi16(p, times_word(shift_words_up<4>(p), powers[3]));
    p = _mm512_add_epi16(p, times_word(shift_words_up<8>(p), powers[7]));
    return _mm512_add_epi16(p, times_word(shift_words_up<16>(p), powers[15]));
}

// Anchors of a span when the mask lies in the low 16 bits; low_bits is the
// fingerprint before the span (only its low 16 bits matter).
void anchors_from_low_bits(std::uint32_t low_bits, const unsigned char* stream, std::size_t window_size,
                           std::size_t count, std::uint32_t outgoing_weight, std::uint32_t mask,
                           std::uint64_t* anchor_bits) {
    std::uint16_t powers[32];  // 7^1 .. 7^32 mod 2^16
    std::uint16_t power = 1;
    for (auto& p : powers) p = power = static_cast<std::uint16_t>(power * 7);
    const __m512i lane_powers = _mm512_loadu_si512(powers);
    const __m512i weight = _mm512_set1_epi16(static_cast<short>(outgoing_weight));
    const __m512i mask_lanes = _mm512_set1_epi16(static_cast<short>(mask));

    std::memset(anchor_bits, 0, (count + 63) / 64 * sizeof(std::uint64_t));
    const unsigned char* outgoing = stream;
    const unsigned char* incoming = stream + window_size;
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m512i in = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(incoming + i)));
        const __m512i out = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(outgoing + i)));
        const __m512i p = prefix_scan_words(_mm512_sub_epi16(in, _mm512_mullo_epi16(weight, out)), powers);
        const __m512i before = _mm512_set1_epi16(static_cast<short>(low_bits));
        const __m512i fingerprints = _mm512_add_epi16(p, _mm512_mullo_epi16(before, lane_powers));
        const auto last = static_cast<std::uint16_t>(_mm_extract_epi16(_mm512_extracti32x4_epi32(p, 3), 7));
        low_bits = low_bits * powers[31] + last;
        anchor_bits[i / 64] |= static_cast<std::uint64_t>(_mm512_testn_epi16_mask(fingerprints, mask_lanes))
                               << (i % 64);
    }
    roll_one_at_a_time(low_bits, stream, window_size, i, count, outgoing_weight, mask, anchor_bits);
}

}  // namespace

std::uint32_t roll_avx512(std::uint32_t fingerprint, const unsigned char* stream, std::size_t window_size,
                          std::size_t count, std::uint32_t outgoing_weight, std::uint32_t mask,
                          std::uint64_t* anchor_bits) {
    // Recovering the last fingerprint reads two windows: worth it only when
    // the span is much longer than the window.
    if (mask <= 0xFFFF && window_size * 16 <= count) {
        const std::uint32_t offset = fingerprint - polynomial(stream, window_size);
        anchors_from_low_bits(fingerprint, stream, window_size, count, outgoing_weight, mask, anchor_bits);
        return polynomial(stream + count, window_size) + offset * power_of_7(count);
    }
    std::uint32_t powers[32];  // 7^1 .. 7^32
    std::uint32_t power = 1;
    for (auto& p : powers) p = power *= 7;
    const __m512i low_powers = _mm512_loadu_si512(powers);
    const __m512i high_powers = _mm512_loadu_si512(powers + 16);
    const std::uint32_t power_32 = powers[31];
    const __m512i weight = _mm512_set1_epi32(static_cast<int>(outgoing_weight));
    const __m512i mask_lanes = _mm512_set1_epi32(static_cast<int>(mask));
    const __m512i lane_fifteen = _mm512_set1_epi32(15);

    std::memset(anchor_bits, 0, (count + 63) / 64 * sizeof(std::uint64_t));
    const unsigned char* outgoing = stream;
    const unsigned char* incoming = stream + window_size;
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m512i g_low = _mm512_sub_epi32(load_sixteen_bytes(incoming + i),
                                               _mm512_mullo_epi32(weight, load_sixteen_bytes(outgoing + i)));
        const __m512i g_high = _mm512_sub_epi32(load_sixteen_bytes(incoming + i + 16),
                                                _mm512_mullo_epi32(weight, load_sixteen_bytes(outgoing + i + 16)));
        const __m512i p_low = prefix_scan(g_low);
        const __m512i p_high = _mm512_add_epi32(
            prefix_scan(g_high), _mm512_mullo_epi32(_mm512_permutexvar_epi32(lane_fifteen, p_low), low_powers));
        const __m512i before = _mm512_set1_epi32(static_cast<int>(fingerprint));
        const __m512i low = _mm512_add_epi32(p_low, _mm512_mullo_epi32(before, low_powers));
        const __m512i high = _mm512_add_epi32(p_high, _mm512_mullo_epi32(before, high_powers));
        fingerprint = fingerprint * power_32 + last_lane(p_high);
        const std::uint64_t bits = static_cast<std::uint64_t>(_mm512_testn_epi32_mask(low, mask_lanes)) |
                                   static_cast<std::uint64_t>(_mm512_testn_epi32_mask(high, mask_lanes)) << 16;
        anchor_bits[i / 64] |= bits << (i % 64);
    }
    return roll_one_at_a_time(fingerprint, stream, window_size, i, count, outgoing_weight, mask, anchor_bits);
}

}  // namespace rabin_roll
