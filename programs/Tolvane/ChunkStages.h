// The stages a block of Tolvane's input goes through between being read and
// being recorded. Finding anchors and digesting chunks need nothing but the
// block (and, for a chunk that began earlier, the SHA-1 state the block
// before it left), so they run on any thread; choosing the boundaries
// carries the open chunk from block to block and runs in order.
#ifndef DEDUP_TOLVANE_CHUNKSTAGES_H
#define DEDUP_TOLVANE_CHUNKSTAGES_H

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "AnchorFinder.h"
#include "ChunkBlock.h"
#include "ChunkCompressor.h"
#include "ChunkingParameters.h"
#include "GearBoundaries.h"

// Reads a block that was only planned (block.source set): its data, and
// the window_size bytes before them after a file's first block.
void readPlannedBlock(ChunkBlock& block, std::size_t window_size);

// Sets the block's anchor bits for the run's chunker (see AnchorFinder).
void findAnchors(const AnchorFinder& finder, ChunkBlock& block);

// Chooses where chunks close, block after block in input order: at the first
// anchor once the chunk holds min_chunk_size bytes, at max_chunk_size bytes,
// and at the end of a file read to its end. For rabin the first window_size
// bytes of a file start its first chunk without being tested; fixed chunks
// close at 2^nmb bytes and at the end of the file only.
//
// Only the chunk open at a block's start ties it to the blocks before: once a
// chunk closes, the closings after it depend on the block alone. So the
// closings are first guessed on a worker (guess), as if a chunk of
// min_chunk_size bytes were open at the block's start; in order, choose then
// only follows the true open chunk until it closes where the guess closes a
// chunk too, and takes the guess's closings from there on (or finds them all
// itself, when the two never meet).
//
// The gear chunkers' anchors may also be hashed by choose itself, chunk by
// chunk from each one's minimum size (GearAnchors::hashed_in_order): on one
// thread that skips the bytes no boundary can fall in, and prepare then
// finds no anchors and guesses nothing.
enum class GearAnchors { found_ahead, hashed_in_order };

class BoundaryChooser {
public:
    BoundaryChooser(const ChunkingParameters& params, const AnchorFinder& finder,
                    GearAnchors gear_anchors = GearAnchors::found_ahead);
    // On any thread, after the block is read: its anchors and guessed
    // closings (see AnchorFinder and guess).
    void prepare(const AnchorFinder& finder, ChunkBlock& block) const;
    // On any thread, after the anchors.
    void guess(ChunkBlock& block) const;
    // In input order.
    void choose(ChunkBlock& block);

private:
    // The closings among the rolled positions from `next` on with `open`
    // bytes open before it, appended to `closings`; with a guess, only until
    // a closing meets one of the guess's (then true). open becomes the bytes
    // still open at the end (unless they met).
    bool close(const ChunkBlock& block, std::uint64_t& open, std::vector<ChunkClosing>& closings,
               const std::vector<ChunkClosing>* guessed) const;
    // The first rolled position (bit of the anchor bits) in [next, end) where
    // a chunk with chunk_size bytes before next closes at an anchor, or end.
    // The gear chunkers roll every position of a block: their rolled
    // positions are block positions.
    std::size_t firstAnchor(const ChunkBlock& block, std::size_t next, std::size_t end,
                            std::uint64_t chunk_size) const;

    const ChunkingParameters params_;
    const std::uint64_t max_chunk_size_;  // 2^nmb for fixed chunks
    std::unique_ptr<GearBoundaries> gear_;  // for gear and fastcdc
    std::uint64_t chunk_size_ = 0;  // bytes of the chunk open so far
    bool chunking_ = false;         // the current file gives chunks (for rabin: it filled its priming window)
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
// for a file's first block. With a compressor, every chunk's compressed size
// is taken too: the bytes of a chunk that began in an earlier block are
// gathered in open_chunk, handed on from block to block.
void digestChunks(ChunkBlock& block, const ChunkBlock* previous, const CarryHandoff& handoff,
                  const ChunkCompressor* compressor);

#endif
