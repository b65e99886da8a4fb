// Eight parts of the stretch side by side with AVX-512 (this file alone is
// compiled for it): one 64-bit lane per part, the table words fetched with
// gathers, eight bytes of every part loaded at once.
#include <immintrin.h>

#include "gear_roll.h"
#include "gear_roll_step.h"

namespace gear_roll {

void roll_avx512(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks) {
    clear_bits(stretch, masks);
    if (masks.loose_mask == 0 && masks.strict_bits == nullptr) return;  // every position is an anchor
    constexpr std::size_t kParts = 8;
    const std::size_t part = stretch.count / kParts / 8 * 8;  // whole groups of eight bytes
    alignas(64) long long starts[kParts];
    alignas(64) long long fp_start[kParts];
    for (std::size_t k = 0; k < kParts; ++k) {
        starts[k] = static_cast<long long>(k * part);
        fp_start[k] = static_cast<long long>(warmed_up(table, stretch, k * part));
    }
    const __m512i part_starts = _mm512_load_si512(starts);
    __m512i fp = _mm512_load_si512(fp_start);
    const __m512i loose = _mm512_set1_epi64(static_cast<long long>(masks.loose_mask));
    const __m512i strict = _mm512_set1_epi64(static_cast<long long>(masks.strict_mask));
    const __m512i low_byte = _mm512_set1_epi64(0xFF);
    const long long* words = reinterpret_cast<const long long*>(table);
    const void* bytes = stretch.bytes;
    for (std::size_t i = 0; i < part; i += 8) {
        // Bytes i to i + 7 of every part, one part a lane.
        const __m512i eight = _mm512_i64gather_epi64(
            _mm512_add_epi64(part_starts, _mm512_set1_epi64(static_cast<long long>(i))), bytes, 1);
        for (unsigned t = 0; t < 8; ++t) {
            const __m512i index = _mm512_and_si512(_mm512_srli_epi64(eight, 8 * t), low_byte);
            fp = _mm512_add_epi64(_mm512_add_epi64(fp, fp), _mm512_i64gather_epi64(index, words, 8));
            const __mmask8 hits = _mm512_testn_epi64_mask(fp, loose);
            if (__builtin_expect(hits == 0, 1)) continue;
            const __mmask8 strict_hits = masks.strict_bits != nullptr ? _mm512_testn_epi64_mask(fp, strict) : 0;
            for (unsigned lanes = hits; lanes != 0; lanes &= lanes - 1) {
                const unsigned k = static_cast<unsigned>(__builtin_ctz(lanes));
                set_bit(masks.loose_bits, k * part + i + t);
                if ((strict_hits >> k) & 1) set_bit(masks.strict_bits, k * part + i + t);
            }
        }
    }
    roll_one_at_a_time(table, stretch, masks, kParts * part, stretch.count);
}

}  // namespace gear_roll
