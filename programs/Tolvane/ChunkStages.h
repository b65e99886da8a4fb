// The stages a block of Tolvane's input goes through between being read and
// being recorded. Finding anchors and digesting chunks need nothing but the
// block (and, for a chunk that began earlier, the SHA-1 state the block
// before it left), so they run on any thread; choosing the boundaries
// carries the open chunk from block to block and runs in order.
#ifndef DEDUP_TOLVANE_CHUNKSTAGES_H
#define DEDUP_TOLVANE_CHUNKSTAGES_H

#include <cstdint>
#include <functional>

#include "ChunkBlock.h"
#include "ChunkingParameters.h"
#include "rabin.h"

// Reads a block that was only planned (block.source set): its data, and
// the window_size bytes before them after a file's first block.
void readPlannedBlock(ChunkBlock& block, std::size_t window_size);

// Sets the block's anchor bits: every position after the file's priming
// window is rolled, starting from the fingerprint that the window before
// the block gives.
void findAnchors(const Rabin& rabin, ChunkBlock& block);

// Chooses where chunks close, block after block in input order: at the first
// anchor once the chunk holds min_chunk_size bytes, at max_chunk_size bytes,
// and at the end of a file read to its end. The first window_size bytes of a
// file start its first chunk without being tested.
class BoundaryChooser {
public:
    explicit BoundaryChooser(const ChunkingParameters& params) : params_(params) {}
    void choose(ChunkBlock& block);

private:
    const ChunkingParameters params_;
    std::uint64_t chunk_size_ = 0;  // bytes of the chunk open so far
    bool chunking_ = false;         // the current file filled its priming window
};

// How the SHA-1 state of a chunk open at the end of one block reaches the
// next block's digesting, which may run on another thread.
struct CarryHandoff {
    std::function<void(const ChunkBlock&)> wait;  // returns once the block's carry is ready
    std::function<void()> ready;                  // a carry became ready
};

// Digests the chunks that close in the block and leaves the state of the
// chunk still open in block.carry (made ready as early as possible). A chunk
// that began in an earlier block continues previous->carry; previous is null
// for a file's first block.
void digestChunks(ChunkBlock& block, const ChunkBlock* previous, const CarryHandoff& handoff);

#endif
