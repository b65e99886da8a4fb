// One position at a time: the reference for the vector path.
#include <algorithm>

#include "rabin_roll.h"

namespace rabin_roll {

std::uint32_t roll_portable(std::uint32_t fingerprint, const unsigned char* stream, std::size_t window_size,
                            std::size_t count, std::uint32_t outgoing_weight, std::uint32_t mask,
                            std::uint64_t* anchor_bits) {
    const unsigned char* outgoing = stream;
    const unsigned char* incoming = stream + window_size;
    for (std::size_t word = 0; word * 64 < count; ++word) {
        const std::size_t first = word * 64;
        const std::size_t last = std::min(count, first + 64);
        std::uint64_t bits = 0;
        for (std::size_t i = first; i < last; ++i) {
            fingerprint = fingerprint * 7 + incoming[i] - outgoing_weight * outgoing[i];
            bits |= static_cast<std::uint64_t>((fingerprint & mask) == 0) << (i - first);
        }
        anchor_bits[word] = bits;
    }
    return fingerprint;
}

}  // namespace rabin_roll
