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

// Lanes independent messages at once, block by block: each round waits on
// the one before it, so the other messages' rounds fill the time one message
// alone would leave the SHA unit idle (four messages take about a third of
// the time of one after another).
template <int Lanes>
inline void compress_lanes(unsigned* const* hashes, const unsigned char* const* starts, std::size_t block_count)
{
    __m128i abcd[Lanes], e[Lanes];
    const unsigned char* blocks[Lanes];
    for (int l = 0; l < Lanes; ++l) {
        abcd[l] = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hashes[l])),
                                    0x1B);  // H0 to the highest lane
        e[l] = _mm_set_epi32(static_cast<int>(hashes[l][4]), 0, 0, 0);
        blocks[l] = starts[l];
    }

    for (; block_count > 0; --block_count) {
        __m128i abcd_start[Lanes], e_start[Lanes], w0[Lanes], w1[Lanes], w2[Lanes], w3[Lanes];
        RoundState s[Lanes];
        for (int l = 0; l < Lanes; ++l) {
            abcd_start[l] = abcd[l];
            e_start[l] = e[l];
            w0[l] = load_message_group(blocks[l]);
            w1[l] = load_message_group(blocks[l] + 16);
            w2[l] = load_message_group(blocks[l] + 32);
            w3[l] = load_message_group(blocks[l] + 48);
            blocks[l] += 64;
            // Rounds 0-3 take E straight from the previous block.
            s[l] = RoundState{_mm_sha1rnds4_epu32(abcd[l], _mm_add_epi32(e[l], w0[l]), 0), abcd[l]};
        }
#define DEDUP_SHA1_LANES(statement) \
    for (int l = 0; l < Lanes; ++l) { statement; }
        DEDUP_SHA1_LANES(four_rounds<0>(s[l], w1[l]))
        DEDUP_SHA1_LANES(four_rounds<0>(s[l], w2[l]))
        DEDUP_SHA1_LANES(four_rounds<0>(s[l], w3[l]))
        DEDUP_SHA1_LANES(w0[l] = next_message_group(w0[l], w1[l], w2[l], w3[l]); four_rounds<0>(s[l], w0[l]))

        DEDUP_SHA1_LANES(w1[l] = next_message_group(w1[l], w2[l], w3[l], w0[l]); four_rounds<1>(s[l], w1[l]))
        DEDUP_SHA1_LANES(w2[l] = next_message_group(w2[l], w3[l], w0[l], w1[l]); four_rounds<1>(s[l], w2[l]))
        DEDUP_SHA1_LANES(w3[l] = next_message_group(w3[l], w0[l], w1[l], w2[l]); four_rounds<1>(s[l], w3[l]))
        DEDUP_SHA1_LANES(w0[l] = next_message_group(w0[l], w1[l], w2[l], w3[l]); four_rounds<1>(s[l], w0[l]))
        DEDUP_SHA1_LANES(w1[l] = next_message_group(w1[l], w2[l], w3[l], w0[l]); four_rounds<1>(s[l], w1[l]))

        DEDUP_SHA1_LANES(w2[l] = next_message_group(w2[l], w3[l], w0[l], w1[l]); four_rounds<2>(s[l], w2[l]))
        DEDUP_SHA1_LANES(w3[l] = next_message_group(w3[l], w0[l], w1[l], w2[l]); four_rounds<2>(s[l], w3[l]))
        DEDUP_SHA1_LANES(w0[l] = next_message_group(w0[l], w1[l], w2[l], w3[l]); four_rounds<2>(s[l], w0[l]))
        DEDUP_SHA1_LANES(w1[l] = next_message_group(w1[l], w2[l], w3[l], w0[l]); four_rounds<2>(s[l], w1[l]))
        DEDUP_SHA1_LANES(w2[l] = next_message_group(w2[l], w3[l], w0[l], w1[l]); four_rounds<2>(s[l], w2[l]))

        DEDUP_SHA1_LANES(w3[l] = next_message_group(w3[l], w0[l], w1[l], w2[l]); four_rounds<3>(s[l], w3[l]))
        DEDUP_SHA1_LANES(w0[l] = next_message_group(w0[l], w1[l], w2[l], w3[l]); four_rounds<3>(s[l], w0[l]))
        DEDUP_SHA1_LANES(w1[l] = next_message_group(w1[l], w2[l], w3[l], w0[l]); four_rounds<3>(s[l], w1[l]))
        DEDUP_SHA1_LANES(w2[l] = next_message_group(w2[l], w3[l], w0[l], w1[l]); four_rounds<3>(s[l], w2[l]))
        DEDUP_SHA1_LANES(w3[l] = next_message_group(w3[l], w0[l], w1[l], w2[l]); four_rounds<3>(s[l], w3[l]))
#undef DEDUP_SHA1_LANES

        for (int l = 0; l < Lanes; ++l) {
            // The final E is A of four rounds ago, rotated; add it and ABCD in.
            e[l] = _mm_sha1nexte_epu32(s[l].abcd_before, e_start[l]);
            abcd[l] = _mm_add_epi32(s[l].abcd, abcd_start[l]);
        }
    }

    for (int l = 0; l < Lanes; ++l) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(hashes[l]), _mm_shuffle_epi32(abcd[l], 0x1B));
        hashes[l][4] = static_cast<unsigned>(_mm_extract_epi32(e[l], 3));
    }
}

}  // namespace

void compress_with_sha_extensions(unsigned* hash, const unsigned char* blocks, std::size_t block_count)
{
    compress_lanes<1>(&hash, &blocks, block_count);
}

void compress_two_with_sha_extensions(unsigned* const* hashes, const unsigned char* const* blocks,
                                      std::size_t block_count)
{
    compress_lanes<2>(hashes, blocks, block_count);
}

void compress_four_with_sha_extensions(unsigned* const* hashes, const unsigned char* const* blocks,
                                       std::size_t block_count)
{
    compress_lanes<4>(hashes, blocks, block_count);
}

}  // namespace sha1_compress
