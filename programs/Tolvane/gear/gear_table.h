// The table of the Gear hash: 256 64-bit words, the first 256 outputs of the
// SplitMix64 generator started from the state 0, so anyone can rebuild it.
#ifndef DEDUP_TOLVANE_GEAR_TABLE_H
#define DEDUP_TOLVANE_GEAR_TABLE_H

#include <cstdint>

namespace gear {

// Built on first use; the same words for every caller.
const std::uint64_t* table();

// The mask of the top `bits` bits of a 64-bit word (0 bits: no bit, every
// fingerprint passes; 64 or more: every bit).
constexpr std::uint64_t topBitsMask(unsigned bits) {
    return bits == 0 ? 0 : bits >= 64 ? ~std::uint64_t{0} : ~std::uint64_t{0} << (64 - bits);
}

}  // namespace gear

#endif
