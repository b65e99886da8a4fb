// Four parts of the stretch side by side: four independent hash chains keep
// the processor busy where one would wait on each step.
//
// When the masks are the top bits of the word (as the chunkers' always are),
// "no bit of the mask set" is "below a threshold", and each part gathers a
// word of 64 anchor bits by compare and add-with-carry: no branch per byte.
// The rarer strict anchors are looked for only where a loose one is, by
// hashing that position again. Other masks take the general loop.
#include "gear_roll.h"
#include "gear_roll_step.h"

namespace gear_roll {

namespace {

constexpr std::size_t kParts = 4;

// The threshold below which a fingerprint has no bit of a mask of top bits
// (a mask of no bit has none: 0), or 0 when the mask is not of top bits.
std::uint64_t threshold_of_top_bits(std::uint64_t mask) {
    const std::uint64_t below = ~mask + 1;  // the mask's lowest bit, when the mask is of top bits
    return mask != 0 && (below & (below - 1)) == 0 ? below : 0;
}

// The word with its 64 bits in the opposite order.
std::uint64_t reversed(std::uint64_t word) {
    word = __builtin_bswap64(word);
    word = (word >> 4 & 0x0F0F0F0F0F0F0F0Full) | (word & 0x0F0F0F0F0F0F0F0Full) << 4;
    word = (word >> 2 & 0x3333333333333333ull) | (word & 0x3333333333333333ull) << 2;
    return (word >> 1 & 0x5555555555555555ull) | (word & 0x5555555555555555ull) << 1;
}

// hits = 2 * hits + (fp < threshold): after 64 steps the first position is
// in the top bit. On x86-64 the compare's carry is added directly, which
// compilers do not find by themselves (they set a register from the flag).
inline void shift_in_below(std::uint64_t& hits, std::uint64_t fp, std::uint64_t threshold) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    asm("cmp %[threshold], %[fp]\n\tadc %[hits], %[hits]"
        : [hits] "+r"(hits)
        : [fp] "r"(fp), [threshold] "r"(threshold)
        : "cc");
#else
    hits = hits + hits + (fp < threshold);
#endif
}

// Strict anchors among the loose ones of the word of positions from `first`.
void find_strict(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks, std::size_t first,
                 std::uint64_t loose_word) {
    for (; loose_word != 0; loose_word &= loose_word - 1) {
        const std::size_t position = first + static_cast<std::size_t>(__builtin_ctzll(loose_word));
        const std::uint64_t fp = (warmed_up(table, stretch, position) << 1) + table[stretch.bytes[position]];
        if ((fp & masks.strict_mask) == 0) set_bit(masks.strict_bits, position);
    }
}

// Whole words of positions, 64 a part at a time; returns the positions done.
std::size_t roll_below_threshold(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks,
                                 std::uint64_t threshold) {
    const std::size_t words = stretch.count / kParts / 64;
    const std::size_t part = words * 64;
    // Plain locals, not arrays, so that every chain stays in a register.
    std::uint64_t fp0 = warmed_up(table, stretch, 0), fp1 = warmed_up(table, stretch, part);
    std::uint64_t fp2 = warmed_up(table, stretch, 2 * part), fp3 = warmed_up(table, stretch, 3 * part);
    const unsigned char* bytes = stretch.bytes;
    for (std::size_t w = 0; w < words; ++w, bytes += 64) {
        std::uint64_t hits0 = 0, hits1 = 0, hits2 = 0, hits3 = 0;
#pragma GCC unroll 8
        for (unsigned t = 0; t < 64; ++t) {
            fp0 = (fp0 << 1) + table[bytes[t]];
            shift_in_below(hits0, fp0, threshold);
            fp1 = (fp1 << 1) + table[bytes[part + t]];
            shift_in_below(hits1, fp1, threshold);
            fp2 = (fp2 << 1) + table[bytes[2 * part + t]];
            shift_in_below(hits2, fp2, threshold);
            fp3 = (fp3 << 1) + table[bytes[3 * part + t]];
            shift_in_below(hits3, fp3, threshold);
        }
        const std::uint64_t hits[kParts] = {hits0, hits1, hits2, hits3};
        for (std::size_t k = 0; k < kParts; ++k) {
            const std::uint64_t loose_word = reversed(hits[k]);
            masks.loose_bits[k * words + w] = loose_word;
            if (masks.strict_bits != nullptr) find_strict(table, stretch, masks, k * part + w * 64, loose_word);
        }
    }
    return kParts * part;
}

// Any masks: the parts tested byte by byte, a branch taken only at an anchor.
std::size_t roll_any_masks(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks) {
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
    return kParts * part;
}

// Looking for strict anchors only at loose ones pays when loose ones are
// rare: at least 8 bits of mask, one position in 256.
bool strict_among_rare_loose(const AnchorMasks& masks, std::uint64_t loose_threshold) {
    if (masks.strict_bits == nullptr) return true;
    return loose_threshold <= (std::uint64_t{1} << 56) && threshold_of_top_bits(masks.strict_mask) != 0 &&
           (masks.strict_mask & masks.loose_mask) == masks.loose_mask;
}

}  // namespace

void roll_portable(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks) {
    clear_bits(stretch, masks);
    if (masks.loose_mask == 0 && masks.strict_bits == nullptr) return;  // every position is an anchor
    const std::uint64_t threshold = threshold_of_top_bits(masks.loose_mask);
    const std::size_t done = threshold != 0 && strict_among_rare_loose(masks, threshold)
                                 ? roll_below_threshold(table, stretch, masks, threshold)
                                 : roll_any_masks(table, stretch, masks);
    roll_one_at_a_time(table, stretch, masks, done, stretch.count);
}

}  // namespace gear_roll
