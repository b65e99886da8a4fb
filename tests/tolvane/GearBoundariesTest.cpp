// The gear chunkers' boundaries, however they are found: from a block's
// anchor bits (as with workers) and by hashing each chunk from its minimum
// size (as on one thread), against the definition step by step (the hash
// restarted at each chunk's first byte, an anchor once the chunk holds
// min bytes, fastcdc's strict mask below 2^nmb bytes, a close at max).
// Blocks are small, so chunks cross them at every point.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "AnchorFinder.h"
#include "ChunkStages.h"
#include "ChunkingOptions.h"
#include "gear_table.h"

namespace {

// Chunk ends (one past the last byte), by the definition.
std::vector<std::uint64_t> definedEnds(const std::vector<unsigned char>& bytes, const ChunkingParameters& params) {
    const unsigned nmb = params.num_comp_bits;
    const bool fastcdc = params.chunker == Chunker::fastcdc;
    const std::uint64_t loose = gear::topBitsMask(fastcdc ? (nmb >= 2 ? nmb - 2 : 0) : nmb);
    const std::uint64_t strict = gear::topBitsMask(std::min(nmb + 2, 64u));
    std::vector<std::uint64_t> ends;
    std::uint64_t fp = 0, size = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        fp = (fp << 1) + gear::table()[bytes[i]];
        ++size;
        const std::uint64_t mask = fastcdc && size < (std::uint64_t{1} << nmb) ? strict : loose;
        if ((size >= params.min_chunk_size && (fp & mask) == 0) || size >= params.max_chunk_size) {
            ends.push_back(i + 1);
            fp = 0;
            size = 0;
        }
    }
    if (size > 0) ends.push_back(bytes.size());
    return ends;
}

std::vector<std::uint64_t> chosenEnds(const std::vector<unsigned char>& bytes, const ChunkingParameters& params,
                                      GearAnchors anchors, std::size_t block_size) {
    const std::size_t context = contextBytes(params);
    const AnchorFinder finder(params, stdout, stderr);
    BoundaryChooser chooser(params, finder, anchors);
    // As the reader does, the first block holds at least the context the
    // next one needs.
    ChunkBlock block(context, std::max(block_size, context));
    std::vector<std::uint64_t> ends;
    for (std::size_t offset = 0; offset < bytes.size(); offset += block.size) {
        const std::size_t wanted = offset == 0 ? std::max(block_size, context) : block_size;
        block.fillFromMemory(bytes.data(), bytes.size(), offset, std::min(wanted, bytes.size() - offset));
        chooser.prepare(finder, block);
        chooser.choose(block);
        for (const ChunkClosing& closing : block.closings) ends.push_back(offset + closing.end);
    }
    return ends;
}

TEST(GearBoundaries, AnchorBitsAndHashingInOrderFollowTheDefinition) {
    std::mt19937 rng(76);
    struct Bounds {
        std::uint32_t min, max, nmb;
    };
    const Bounds bounds[] = {{0, 4096, 6},  {1, 100, 3},   {40, 3000, 5}, {63, 5000, 7},   {64, 70000, 8},
                             {65, 800, 4},  {200, 300, 2}, {30, 2000, 1}, {3, 70000, 0},   {0, 0, 4},
                             {5, 5, 4},     {100, 50, 3},  {10, 9000, 30}, {500, 20000, 9}};
    for (const Chunker chunker : {Chunker::gear, Chunker::fastcdc}) {
        for (const Bounds& b : bounds) {
            ChunkingParameters params;
            params.chunker = chunker;
            params.min_chunk_size = b.min;
            params.max_chunk_size = b.max;
            params.num_comp_bits = b.nmb;
            for (int round = 0; round < 3; ++round) {
                // Random bytes, then a stretch of few distinct bytes.
                std::vector<unsigned char> bytes(1000 + rng() % 30000);
                for (std::size_t i = 0; i < bytes.size(); ++i)
                    bytes[i] = static_cast<unsigned char>(i > bytes.size() / 2 ? rng() % 3 : rng());
                const std::vector<std::uint64_t> want = definedEnds(bytes, params);
                const std::size_t block_size = 1 + rng() % 3000;
                for (const GearAnchors anchors : {GearAnchors::found_ahead, GearAnchors::hashed_in_order}) {
                    ASSERT_EQ(chosenEnds(bytes, params, anchors, block_size), want)
                        << chunkerName(chunker) << " min " << b.min << " max " << b.max << " nmb " << b.nmb
                        << ", blocks of " << block_size
                        << (anchors == GearAnchors::found_ahead ? ", bits" : ", hashed");
                }
            }
        }
    }
}

}  // namespace
