// One position at a time: the reference for the vector path.
#include <cstring>

#include "rabin_roll.h"
#include "rabin_roll_step.h"

namespace rabin_roll {

std::uint32_t roll_portable(std::uint32_t fingerprint, const unsigned char* stream, std::size_t window_size,
                            std::size_t count, std::uint32_t outgoing_weight, std::uint32_t mask,
                            std::uint64_t* anchor_bits) {
    std::memset(anchor_bits, 0, (count + 63) / 64 * sizeof(std::uint64_t));
    return roll_one_at_a_time(fingerprint, stream, window_size, 0, count, outgoing_weight, mask, anchor_bits);
}

}  // namespace rabin_roll
