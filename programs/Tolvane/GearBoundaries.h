// Where a gear or fastcdc chunk may close within a stretch of a block: the
// first anchor once the chunk holds min_chunk_size bytes (counting the byte
// at the position). Past the chunk's first 64 bytes its fingerprint is the
// stream's, whose anchors the block carries; within them the hash restarted
// at the chunk's first byte is computed here, which matters only when
// min_chunk_size is below 64. fastcdc tests the strict anchors while the
// chunk holds fewer than 2^nmb bytes, the loose ones from there on.
//
// On one thread the boundaries may instead be found from the bytes alone
// (hashes_bytes): each chunk is hashed from 63 bytes before its minimum size
// on, until its first anchor, so the bytes a chunk must hold anyway are never
// hashed, and one hash chain with a branch a byte is faster than a block's
// anchor bits.
#ifndef DEDUP_TOLVANE_GEARBOUNDARIES_H
#define DEDUP_TOLVANE_GEARBOUNDARIES_H

#include <cstddef>
#include <cstdint>

#include "ChunkBlock.h"
#include "ChunkingParameters.h"

class GearBoundaries {
public:
    GearBoundaries(const ChunkingParameters& params, std::uint64_t loose_mask, std::uint64_t strict_mask,
                   bool hashes_bytes);

    // True when firstAnchor hashes the block's bytes and needs no anchor bits.
    bool hashesBytes() const { return hashes_bytes_; }

    // The first position in [next, end) where the chunk closes at an anchor,
    // or end; chunk_size: the chunk's bytes before position next.
    std::size_t firstAnchor(const ChunkBlock& block, std::size_t next, std::size_t end,
                            std::uint64_t chunk_size) const;

private:
    // The first position from next at which the chunk holds `size` bytes.
    static std::size_t positionAtSize(std::size_t next, std::uint64_t chunk_size, std::uint64_t size);
    std::uint64_t maskAtSize(std::uint64_t size) const;
    std::size_t firstRestartedAnchor(const ChunkBlock& block, std::size_t next, std::size_t from, std::size_t end,
                                     std::uint64_t chunk_size) const;
    std::size_t firstHashedAnchor(const ChunkBlock& block, std::size_t next, std::size_t end,
                                  std::uint64_t chunk_size) const;

    const std::uint64_t min_chunk_size_;
    const bool normalized_;            // fastcdc
    const std::uint64_t normal_size_;  // 2^nmb: fastcdc's switch from the strict mask to the loose one
    const std::uint64_t loose_mask_;
    const std::uint64_t strict_mask_;
    const bool hashes_bytes_;
};

#endif
