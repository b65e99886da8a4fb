// The SHA-1 compression function of FIPS 180-1 in portable C++.
#include "sha1.h"

namespace {

unsigned load_big_endian(const unsigned char* bytes)
{
    return (unsigned{bytes[0]} << 24) | (unsigned{bytes[1]} << 16) |
           (unsigned{bytes[2]} << 8) | unsigned{bytes[3]};
}

}  // namespace

void SHA1::CompressPortable(unsigned* hash, const unsigned char* blocks,
                            std::size_t block_count)
{
    for (; block_count > 0; --block_count, blocks += 64) {
        unsigned W[80];
        for (int t = 0; t < 16; ++t) {
            W[t] = load_big_endian(blocks + 4 * t);
        }
        for (int t = 16; t < 80; ++t) {
            W[t] = CircularShift(1, W[t - 3] ^ W[t - 8] ^ W[t - 14] ^ W[t - 16]);
        }

        unsigned A = hash[0], B = hash[1], C = hash[2], D = hash[3], E = hash[4];
        // One round; the caller names the round function f(B, C, D) and K.
        auto round = [&](unsigned f, unsigned K, unsigned w) {
            const unsigned temp = CircularShift(5, A) + f + E + K + w;
            E = D;
            D = C;
            C = CircularShift(30, B);
            B = A;
            A = temp;
        };
        for (int t = 0; t < 20; ++t) {
            round((B & C) | (~B & D), 0x5A827999, W[t]);
        }
        for (int t = 20; t < 40; ++t) {
            round(B ^ C ^ D, 0x6ED9EBA1, W[t]);
        }
        for (int t = 40; t < 60; ++t) {
            round((B & C) | (B & D) | (C & D), 0x8F1BBCDC, W[t]);
        }
        for (int t = 60; t < 80; ++t) {
            round(B ^ C ^ D, 0xCA62C1D6, W[t]);
        }

        hash[0] += A;
        hash[1] += B;
        hash[2] += C;
        hash[3] += D;
        hash[4] += E;
    }
}
