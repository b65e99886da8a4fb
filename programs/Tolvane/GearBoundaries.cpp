#include "GearBoundaries.h"

#include <algorithm>

#include "gear_table.h"

namespace {

// Bytes within which a chunk's restarted hash differs from the stream's.
constexpr std::uint64_t kHashReach = 64;

// Hashes positions [from, end) on from fp; the first whose hash has no bit of
// mask set, or end.
std::size_t hashToAnchor(const std::uint64_t* table, const unsigned char* bytes, std::size_t from, std::size_t end,
                         std::uint64_t mask, std::uint64_t& fp) {
    std::uint64_t hash = fp;
#pragma GCC unroll 8
    for (std::size_t i = from; i < end; ++i) {
        hash = (hash << 1) + table[bytes[i]];
        if ((hash & mask) == 0) return i;
    }
    fp = hash;
    return end;
}

}  // namespace

GearBoundaries::GearBoundaries(const ChunkingParameters& params, std::uint64_t loose_mask,
                               std::uint64_t strict_mask, bool hashes_bytes)
    : min_chunk_size_(params.min_chunk_size), normalized_(params.chunker == Chunker::fastcdc),
      normal_size_(std::uint64_t{1} << params.num_comp_bits), loose_mask_(loose_mask), strict_mask_(strict_mask),
      hashes_bytes_(hashes_bytes) {}

std::size_t GearBoundaries::positionAtSize(std::size_t next, std::uint64_t chunk_size, std::uint64_t size) {
    if (chunk_size + 1 >= size) return next;
    const std::uint64_t steps = size - chunk_size - 1;
    return steps > SIZE_MAX - next ? SIZE_MAX : next + static_cast<std::size_t>(steps);
}

std::uint64_t GearBoundaries::maskAtSize(std::uint64_t size) const {
    return normalized_ && size < normal_size_ ? strict_mask_ : loose_mask_;
}

std::size_t GearBoundaries::firstAnchor(const ChunkBlock& block, std::size_t next, std::size_t end,
                                        std::uint64_t chunk_size) const {
    if (hashes_bytes_) return firstHashedAnchor(block, next, end, chunk_size);
    const std::size_t from = positionAtSize(next, chunk_size, min_chunk_size_);
    if (from >= end) return end;
    const std::size_t stream_from = positionAtSize(next, chunk_size, kHashReach);
    if (from < stream_from) {
        const std::size_t restarted = firstRestartedAnchor(block, next, from, std::min(stream_from, end), chunk_size);
        if (restarted < std::min(stream_from, end)) return restarted;
    }
    const std::size_t stream_start = std::max(from, stream_from);
    if (stream_start >= end) return end;
    if (!normalized_) return firstSetBit(block.anchor_bits, stream_start, end);
    // Strict anchors below the average size, loose ones from there.
    const std::size_t normal_from = std::max(stream_start, std::min(end, positionAtSize(next, chunk_size, normal_size_)));
    const std::size_t strict = firstSetBit(block.strict_anchor_bits.data(), stream_start, normal_from);
    if (strict < normal_from) return strict;
    return firstSetBit(block.anchor_bits, normal_from, end);
}

// The chunk's own hash from its first byte, which lies at most 63 bytes back
// (in the block, or in the 64 bytes of context before it).
std::size_t GearBoundaries::firstRestartedAnchor(const ChunkBlock& block, std::size_t next, std::size_t from,
                                                 std::size_t end, std::uint64_t chunk_size) const {
    const std::uint64_t* table = gear::table();
    const unsigned char* chunk_start = block.data() + next - static_cast<std::ptrdiff_t>(chunk_size);
    std::uint64_t fp = 0;
    std::uint64_t size = 0;
    for (const unsigned char* byte = chunk_start; byte != block.data() + end; ++byte) {
        fp = (fp << 1) + table[*byte];
        ++size;
        if (byte >= block.data() + from && (fp & maskAtSize(size)) == 0)
            return static_cast<std::size_t>(byte - block.data());
    }
    return end;
}

// The chunk's hash at `from` needs its bytes from the chunk's start, or from
// 63 bytes before (in the block, or in the 64 bytes of context before it).
std::size_t GearBoundaries::firstHashedAnchor(const ChunkBlock& block, std::size_t next, std::size_t end,
                                              std::uint64_t chunk_size) const {
    const std::size_t from = positionAtSize(next, chunk_size, min_chunk_size_);
    if (from >= end) return end;
    const std::uint64_t before_from = chunk_size + (from - next);  // the chunk's bytes before position from
    const std::size_t back = static_cast<std::size_t>(std::min<std::uint64_t>(before_from, kHashReach - 1));
    const std::uint64_t* table = gear::table();
    const unsigned char* bytes = block.data();
    std::uint64_t fp = 0;
    for (const unsigned char* byte = bytes + from - back; byte != bytes + from; ++byte)
        fp = (fp << 1) + table[*byte];
    // fastcdc: strict anchors below the average size, loose ones from there.
    const std::size_t normal_from =
        normalized_ ? std::max(from, std::min(end, positionAtSize(next, chunk_size, normal_size_))) : from;
    const std::size_t strict = hashToAnchor(table, bytes, from, normal_from, strict_mask_, fp);
    if (strict < normal_from) return strict;
    return hashToAnchor(table, bytes, normal_from, end, loose_mask_, fp);
}
