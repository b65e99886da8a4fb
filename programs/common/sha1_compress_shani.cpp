// SHA-1 compression with the x86 SHA extensions.
//
// Compiled on its own with -msha -msse4.1 -mssse3 and only called after the
// CPU's feature bits were checked, so nothing here may run elsewhere; the file
// includes no library header whose inline code could be shared with other
// files.
//
// Register layout: ABCD holds A in its highest 32-bit lane down to D in the
// lowest; E lives in the highest lane of its own register. A message group
// holds four schedule words, the earliest in the highest lane, which is what
// sha1rnds4 takes (with E added to the highest one).
#include <immintrin.h>

#include "sha1_compress.h"

namespace sha1_compress {

namespace {

// Reverses all sixteen bytes: big-endian words land with word 0 highest.
inline __m128i load_message_group(const unsigned char* bytes)
{
    const __m128i reverse_bytes =
        _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    return _mm_shuffle_epi8(raw, reverse_bytes);
}

// Schedule words 4g..4g+3 from the four groups before them:
// W[i] = rotl1(W[i-3] ^ W[i-8] ^ W[i-14] ^ W[i-16]).
inline __m128i next_message_group(__m128i minus4, __m128i minus3,
                                  __m128i minus2, __m128i minus1)
{
    const __m128i partial = _mm_xor_si128(_mm_sha1msg1_epu32(minus4, minus3), minus2);
    return _mm_sha1msg2_epu32(partial, minus1);
}

struct RoundState {
    __m128i abcd;
    __m128i abcd_before;  // ABCD four rounds ago: its A, rotated, is E now.
};

// Four rounds with the round function and constant of the given quarter.
template <int Quarter>
inline void four_rounds(RoundState& state, __m128i group)
{
    const __m128i e_plus_words = _mm_sha1nexte_epu32(state.abcd_before, group);
    state.abcd_before = state.abcd;
    state.abcd = _mm_sha1rnds4_epu32(state.abcd, e_plus_words, Quarter);
}

}  // namespace

void compress_with_sha_extensions(unsigned* hash, const unsigned char* blocks,
                                  std::size_t block_count)
{
    __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hash));
    abcd = _mm_shuffle_epi32(abcd, 0x1B);  // H0 to the highest lane
    __m128i e = _mm_set_epi32(static_cast<int>(hash[4]), 0, 0, 0);

    for (; block_count > 0; --block_count, blocks += 64) {
        const __m128i abcd_start = abcd;
        const __m128i e_start = e;

        __m128i w0 = load_message_group(blocks);
        __m128i w1 = load_message_group(blocks + 16);
        __m128i w2 = load_message_group(blocks + 32);
        __m128i w3 = load_message_group(blocks + 48);

        // Rounds 0-3 take E straight from the previous block.
        RoundState s{_mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e, w0), 0), abcd};

        four_rounds<0>(s, w1);
        four_rounds<0>(s, w2);
        four_rounds<0>(s, w3);
        w0 = next_message_group(w0, w1, w2, w3);
        four_rounds<0>(s, w0);  // rounds 16-19

        w1 = next_message_group(w1, w2, w3, w0);
        four_rounds<1>(s, w1);
        w2 = next_message_group(w2, w3, w0, w1);
        four_rounds<1>(s, w2);
        w3 = next_message_group(w3, w0, w1, w2);
        four_rounds<1>(s, w3);
        w0 = next_message_group(w0, w1, w2, w3);
        four_rounds<1>(s, w0);
        w1 = next_message_group(w1, w2, w3, w0);
        four_rounds<1>(s, w1);  // rounds 36-39

        w2 = next_message_group(w2, w3, w0, w1);
        four_rounds<2>(s, w2);
        w3 = next_message_group(w3, w0, w1, w2);
        four_rounds<2>(s, w3);
        w0 = next_message_group(w0, w1, w2, w3);
        four_rounds<2>(s, w0);
        w1 = next_message_group(w1, w2, w3, w0);
        four_rounds<2>(s, w1);
        w2 = next_message_group(w2, w3, w0, w1);
        four_rounds<2>(s, w2);  // rounds 56-59

        w3 = next_message_group(w3, w0, w1, w2);
        four_rounds<3>(s, w3);
        w0 = next_message_group(w0, w1, w2, w3);
        four_rounds<3>(s, w0);
        w1 = next_message_group(w1, w2, w3, w0);
        four_rounds<3>(s, w1);
        w2 = next_message_group(w2, w3, w0, w1);
        four_rounds<3>(s, w2);
        w3 = next_message_group(w3, w0, w1, w2);
        four_rounds<3>(s, w3);  // rounds 76-79

        // The final E is A of four rounds ago, rotated; add it and ABCD in.
        e = _mm_sha1nexte_epu32(s.abcd_before, e_start);
        abcd = _mm_add_epi32(s.abcd, abcd_start);
    }

    abcd = _mm_shuffle_epi32(abcd, 0x1B);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(hash), abcd);
    hash[4] = static_cast<unsigned>(_mm_extract_epi32(e, 3));
}

}  // namespace sha1_compress
