// The Gear hash over a whole stretch of bytes, setting anchor bits (internal
// to the gear chunkers).
//
// fp = (fp << 1) + table[byte] (mod 2^64): the shift pushes every byte out
// after 64 steps, so the fingerprint at a position is a function of the last
// 64 bytes alone, and a stretch can be hashed apart from the bytes before it
// once it is given the 63 bytes that precede it. A portable path hashes four
// parts of the stretch side by side; an AVX-512 path, chosen at run time when
// the CPU has it, eight. Both give identical anchors; tests switch between
// them to prove it.
#ifndef DEDUP_TOLVANE_GEAR_ROLL_H
#define DEDUP_TOLVANE_GEAR_ROLL_H

#include <cstddef>
#include <cstdint>

namespace gear_roll {

// The stretch is bytes[0, count), preceded by `before` readable bytes
// (bytes[-before, 0)); the hash starts from 0 at bytes[-before] when before
// is below 63 (a stream's start), else 63 bytes back. Bit i of loose_bits is
// set when the fingerprint at position i has no bit of loose_mask set, and
// likewise of strict_bits with strict_mask (strict_bits may be null). Both
// are 64 bits a word, (count + 63) / 64 words, all written.
struct Stretch {
    const unsigned char* bytes;
    std::size_t before;
    std::size_t count;
};
struct AnchorMasks {
    std::uint64_t loose_mask;
    std::uint64_t strict_mask;
    std::uint64_t* loose_bits;
    std::uint64_t* strict_bits;  // null for none
};
using RollFunction = void (*)(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks);

void roll_portable(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks);
// Call only when supported() says so.
void roll_avx512(const std::uint64_t* table, const Stretch& stretch, const AnchorMasks& masks);

enum class Path { portable, avx512 };

// True when the path was compiled in and this CPU can run it.
bool supported(Path path);
// The fastest supported path: what the chunkers use unless a test chose.
Path fastest();
// Forces the path for the whole process (a test hook); an unsupported one
// keeps the portable path. Returns the path now in force.
Path use(Path path);
// The function of the path in force.
RollFunction current();

}  // namespace gear_roll

#endif
