// The scalar rolling step over a range of positions (internal to the rolling
// paths): the whole portable path, and the last few positions of the vector
// paths; and the window polynomial and powers of 7 they and Rabin use.
//
// The vector paths' files are compiled for AVX2 or AVX-512. An inline
// function with external linkage would be emitted in each of them, and the
// linker may keep any one copy for every caller, so a CPU without AVX-512
// could be handed the AVX-512 one. The step therefore has internal linkage:
// every file that includes this header gets its own copy.
#ifndef DEDUP_TOLVANE_RABIN_ROLL_STEP_H
#define DEDUP_TOLVANE_RABIN_ROLL_STEP_H

#include <cstddef>
#include <cstdint>

namespace rabin_roll {
namespace {

// One position at a time over positions [from, count), as the stream layout
// of RollFunction says, setting the anchor bits in words already cleared.
inline std::uint32_t roll_one_at_a_time(std::uint32_t fingerprint, const unsigned char* stream,
                                        std::size_t window_size, std::size_t from, std::size_t count,
                                        std::uint32_t outgoing_weight, std::uint32_t mask,
                                        std::uint64_t* anchor_bits) {
    const unsigned char* incoming = stream + window_size;
    for (std::size_t i = from; i < count; ++i) {
        fingerprint = fingerprint * 7 + incoming[i] - outgoing_weight * stream[i];
        anchor_bits[i / 64] |= static_cast<std::uint64_t>((fingerprint & mask) == 0) << (i % 64);
    }
    return fingerprint;
}

// The sum of window[j] * 7^(n-1-j) mod 2^32: a window's fingerprint without
// the first-byte rule.
inline std::uint32_t polynomial(const unsigned char* window, std::size_t n) {
    std::uint32_t value = 0;
    for (std::size_t j = 0; j < n; ++j) value = value * 7 + window[j];
    return value;
}

// 7^exponent mod 2^32.
inline std::uint32_t power_of_7(std::uint64_t exponent) {
    std::uint32_t result = 1, base = 7;
    for (; exponent != 0; exponent >>= 1, base *= base)
        if (exponent & 1) result *= base;
    return result;
}

}  // namespace
}  // namespace rabin_roll

#endif
