// The rolling step of the fingerprint over a whole span of bytes (internal to
// Rabin).
//
// With C = 7^window_size mod 2^32, one step of the window is
//     f = 7 * f + incoming - C * outgoing   (mod 2^32),
// which equals removing the outgoing byte's table value and shifting in the
// incoming byte. A portable loop does this one byte at a time; an AVX2 path,
// chosen at run time when the CPU has it, computes sixteen positions at once
// by a prefix scan. Both give identical fingerprints and anchors; tests
// switch between them to prove it.
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

// Call only when avx2_supported().
std::uint32_t roll_avx2(std::uint32_t fingerprint, const unsigned char* stream, std::size_t window_size,
                        std::size_t count, std::uint32_t outgoing_weight, std::uint32_t mask,
                        std::uint64_t* anchor_bits);

// True when the AVX2 path was compiled in and this CPU can run it.
bool avx2_supported();

// Chooses the path for every Rabin of the process (AVX2 only where
// supported); returns whether AVX2 is now in use. Starts as avx2_supported().
bool enable_avx2(bool enable);

// The path in force.
RollFunction current();

}  // namespace rabin_roll

#endif
