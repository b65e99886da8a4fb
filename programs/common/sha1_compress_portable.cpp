// The SHA-1 compression function of FIPS 180-1 in portable C++.
//
// The rounds are written in groups of five with the working variables passed
// in rotated order, so no values are shuffled between rounds, and the message
// schedule is kept as a ring of sixteen words.
#include "sha1.h"
#include "sha1_compress.h"

namespace {

unsigned load_big_endian(const unsigned char* bytes)
{
    return (unsigned{bytes[0]} << 24) | (unsigned{bytes[1]} << 16) |
           (unsigned{bytes[2]} << 8) | unsigned{bytes[3]};
}

struct Choose {  // rounds 0-19
    static constexpr unsigned K = 0x5A827999;
    static unsigned f(unsigned b, unsigned c, unsigned d) { return d ^ (b & (c ^ d)); }
};
struct Parity1 {  // rounds 20-39
    static constexpr unsigned K = 0x6ED9EBA1;
    static unsigned f(unsigned b, unsigned c, unsigned d) { return b ^ c ^ d; }
};
struct Majority {  // rounds 40-59
    static constexpr unsigned K = 0x8F1BBCDC;
    static unsigned f(unsigned b, unsigned c, unsigned d) { return (b & c) | (d & (b | c)); }
};
struct Parity2 {  // rounds 60-79
    static constexpr unsigned K = 0xCA62C1D6;
    static unsigned f(unsigned b, unsigned c, unsigned d) { return b ^ c ^ d; }
};

}  // namespace

void sha1_compress::compress_portable(unsigned* hash, const unsigned char* blocks,
                                      std::size_t block_count)
{
    for (; block_count > 0; --block_count, blocks += 64) {
        unsigned W[16];
        for (int t = 0; t < 16; ++t) {
            W[t] = load_big_endian(blocks + 4 * t);
        }
        // Schedule word t; from 16 on it replaces word t - 16 in the ring.
        auto word = [&W](int t) {
            if (t < 16) {
                return W[t];
            }
            W[t & 15] = SHA1::CircularShift(1, W[(t - 3) & 15] ^ W[(t - 8) & 15] ^
                                             W[(t - 14) & 15] ^ W[t & 15]);
            return W[t & 15];
        };
        // One round, renamed: the new A lands in e, and b is rotated in place.
        auto round = [](auto quarter, unsigned a, unsigned& b, unsigned c, unsigned d,
                        unsigned& e, unsigned w) {
            e += SHA1::CircularShift(5, a) + decltype(quarter)::f(b, c, d) + decltype(quarter)::K + w;
            b = SHA1::CircularShift(30, b);
        };
        unsigned A = hash[0], B = hash[1], C = hash[2], D = hash[3], E = hash[4];
        auto twenty_rounds = [&](auto quarter, int first) {
            for (int t = first; t < first + 20; t += 5) {
                round(quarter, A, B, C, D, E, word(t));
                round(quarter, E, A, B, C, D, word(t + 1));
                round(quarter, D, E, A, B, C, word(t + 2));
                round(quarter, C, D, E, A, B, word(t + 3));
                round(quarter, B, C, D, E, A, word(t + 4));
            }
        };
        twenty_rounds(Choose{}, 0);
        twenty_rounds(Parity1{}, 20);
        twenty_rounds(Majority{}, 40);
        twenty_rounds(Parity2{}, 60);

        hash[0] += A;
        hash[1] += B;
        hash[2] += C;
        hash[3] += D;
        hash[4] += E;
    }
}

// Portable code gains nothing from interleaving: one message after another.
void sha1_compress::compress_two_portable(unsigned* const* hashes, const unsigned char* const* blocks,
                                          std::size_t block_count)
{
    for (int i = 0; i < 2; ++i) compress_portable(hashes[i], blocks[i], block_count);
}

void sha1_compress::compress_four_portable(unsigned* const* hashes, const unsigned char* const* blocks,
                                           std::size_t block_count)
{
    for (int i = 0; i < 4; ++i) compress_portable(hashes[i], blocks[i], block_count);
}
