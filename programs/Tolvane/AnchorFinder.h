// Finds the anchors of a read block, on any thread, for the chunker of the
// run: the rolling fingerprint's (one anchor set), the Gear hash's (one set
// for gear, two for fastcdc: the strict mask before the chunk reaches the
// average size, the loose one after), or none for fixed-size chunks.
#ifndef DEDUP_TOLVANE_ANCHORFINDER_H
#define DEDUP_TOLVANE_ANCHORFINDER_H

#include <cstdint>
#include <cstdio>
#include <memory>

#include "ChunkBlock.h"
#include "ChunkingParameters.h"
#include "rabin.h"

class AnchorFinder {
public:
    // Builds the chunker's hash (the rolling fingerprint's table is part of
    // the timed work); its listings go to out, its messages to err.
    AnchorFinder(const ChunkingParameters& params, std::FILE* out, std::FILE* err);

    // Sets the block's roll_from and anchor bits (and strict_anchor_bits for
    // fastcdc).
    void find(ChunkBlock& block) const;

    // The masks of the top bits a Gear anchor needs clear: loose for gear
    // and for fastcdc's chunks past the average size, strict for fastcdc's
    // chunks below it.
    std::uint64_t looseMask() const { return loose_mask_; }
    std::uint64_t strictMask() const { return strict_mask_; }

private:
    void findRolling(ChunkBlock& block) const;
    void findGear(ChunkBlock& block) const;

    const Chunker chunker_;
    std::unique_ptr<Rabin> rabin_;  // for rabin only
    std::uint64_t loose_mask_ = 0;
    std::uint64_t strict_mask_ = 0;
};

#endif
