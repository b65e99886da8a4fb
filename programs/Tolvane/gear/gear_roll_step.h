// The scalar Gear steps both paths share (internal to the gear paths). Like
// the rolling fingerprint's step, it has internal linkage, so that the
// AVX-512 file's copy is never handed to a CPU without AVX-512.
#ifndef DEDUP_TOLVANE_GEAR_ROLL_STEP_H
#define DEDUP_TOLVANE_GEAR_ROLL_STEP_H

#include <cstddef>
#include <cstdint>

#include "gear_roll.h"

namespace gear_roll {
namespace {

// The fingerprint just before position `at` of the stretch: the hash of the
// up to 63 bytes before it (fewer at the stream's start).
inline std::uint64_t warmed_up(const std::uint64_t* table, const Stretch& stretch, std::size_t at) {
    const std::size_t back = at + stretch.before < 63 ? at + stretch.before : 63;
    std::uint64_t fp = 0;
    for (const unsigned char* byte = stretch.bytes + at - back; byte != stretch.bytes + at; ++byte)
        fp = (fp << 1) + table[*byte];
    return fp;
}

inline void set_bit(std::uint64_t* bits, std::size_t position) {
    bits[position / 64] |= std::uint64_t{1} << (position % 64);
}

// Positions [from, to) one at a time, into words already cleared.
inline void roll_one_at_a_time(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks,
                               std::size_t from, std::size_t to) {
    std::uint64_t fp = warmed_up(table, stretch, from);
    for (std::size_t i = from; i < to; ++i) {
        fp = (fp << 1) + table[stretch.bytes[i]];
        if ((fp & masks.loose_mask) != 0) continue;
        set_bit(masks.loose_bits, i);
        if (masks.strict_bits != nullptr && (fp & masks.strict_mask) == 0) set_bit(masks.strict_bits, i);
    }
}

// Clears the words of the bits; a mask of no bit sets every bit at once.
inline void clear_bits(const Stretch& stretch, const AnchorMasks& masks) {
    const std::size_t words = (stretch.count + 63) / 64;
    for (std::size_t w = 0; w < words; ++w) {
        masks.loose_bits[w] = masks.loose_mask == 0 ? ~std::uint64_t{0} : 0;
        if (masks.strict_bits != nullptr) masks.strict_bits[w] = masks.strict_mask == 0 ? ~std::uint64_t{0} : 0;
    }
}

}  // namespace
}  // namespace gear_roll

#endif
