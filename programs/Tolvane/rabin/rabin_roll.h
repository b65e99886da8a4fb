// The rolling step of the fingerprint over a whole span of bytes (internal to
// Rabin).
//
// With C = 7^window_size mod 2^32, one step of the window is
//     f = 7 * f + incoming - C * outgoing   (mod 2^32),
// which equals removing the outgoing byte's table value and shifting in the
// incoming byte. A portable loop does this one byte at a time; AVX2 and
// AVX-512 paths, chosen at run time from what the CPU has, compute many
// positions at once by a prefix scan. All give identical fingerprints and
// anchors; tests switch between them to prove it.
#ifndef DEDUP_TOLVANE_RABIN_ROLL_H
#define DEDUP_TOLVANE_RABIN_ROLL_H

#include <cstddef>
#include <cstdint>

namespace rabin_roll {

// stream holds window_size + count bytes: the current window, oldest byte
// first, followed by the count bytes to roll in. Position i rolls in
// stream[window_size + i] and drops stream[i]. Bit i of anchor_bits (64 to a
// word, (count + 63) / 64 words, all written) is set when the fingerprint
// after position i has no bit of mask set. Returns the last fingerprint.
using RollFunction = std::uint32_t (*)(std::uint32_t fingerprint, const unsigned char* stream,
                                       std::size_t window_size, std::size_t count, std::uint32_t outgoing_weight,
                                       std::uint32_t mask, std::uint64_t* anchor_bits);

std::uint32_t roll_portable(std::uint32_t fingerprint, const unsigned char* stream, std::size_t window_size,
                            std::size_t count, std::uint32_t outgoing_weight, std::uint32_t mask,
                            std::uint64_t* anchor_bits);

// Call these only when supported() says so.
std::uint32_t roll_avx2(std::uint32_t fingerprint, const unsigned char* stream, std::size_t window_size,
                        std::size_t count, std::uint32_t outgoing_weight, std::uint32_t mask,
                        std::uint64_t* anchor_bits);
std::uint32_t roll_avx512(std::uint32_t fingerprint, const unsigned char* stream, std::size_t window_size,
                          std::size_t count, std::uint32_t outgoing_weight, std::uint32_t mask,
                          std::uint64_t* anchor_bits);

enum class Path { portable, avx2, avx512 };

// True when the path was compiled in and this CPU can run it.
bool supported(Path path);

// The fastest supported path: what every Rabin uses unless a test chose.
Path fastest();

// Forces the path for every Rabin of the process (a test hook); an
// unsupported one keeps the portable path. Returns the path now in force.
Path use(Path path);

// The function of the path in force.
RollFunction current();

}  // namespace rabin_roll

#endif
