// Four parts of the stretch side by side: four independent hash chains keep
// the processor busy where one would wait on each step. A position that is
// an anchor for neither mask costs no branch taken.
#include "gear_roll.h"
#include "gear_roll_step.h"

namespace gear_roll {

void roll_portable(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks) {
    clear_bits(stretch, masks);
    if (masks.loose_mask == 0 && masks.strict_bits == nullptr) return;  // every position is an anchor
    constexpr std::size_t kParts = 4;
    const std::size_t part = stretch.count / kParts;
    std::uint64_t fp[kParts];
    for (std::size_t k = 0; k < kParts; ++k) fp[k] = warmed_up(table, stretch, k * part);
    const unsigned char* bytes = stretch.bytes;
    const std::uint64_t loose = masks.loose_mask;
    for (std::size_t i = 0; i < part; ++i) {
        fp[0] = (fp[0] << 1) + table[bytes[i]];
        fp[1] = (fp[1] << 1) + table[bytes[part + i]];
        fp[2] = (fp[2] << 1) + table[bytes[2 * part + i]];
        fp[3] = (fp[3] << 1) + table[bytes[3 * part + i]];
        if (((fp[0] & loose) != 0) & ((fp[1] & loose) != 0) & ((fp[2] & loose) != 0) & ((fp[3] & loose) != 0))
            continue;
        for (std::size_t k = 0; k < kParts; ++k) {
            if ((fp[k] & loose) != 0) continue;
            set_bit(masks.loose_bits, k * part + i);
            if (masks.strict_bits != nullptr && (fp[k] & masks.strict_mask) == 0)
                set_bit(masks.strict_bits, k * part + i);
        }
    }
    roll_one_at_a_time(table, stretch, masks, kParts * part, stretch.count);
}

}  // namespace gear_roll
