// Compresses one chunk on its own, on any thread, and gives the bytes it is
// counted at: zstd's one-shot frame at the run's level (with the content
// size, without a checksum), or lz4's block format. A chunk that does not
// shrink counts at its own size, as a store would keep it uncompressed.
#ifndef DEDUP_TOLVANE_CHUNKCOMPRESSOR_H
#define DEDUP_TOLVANE_CHUNKCOMPRESSOR_H

#include <cstddef>
#include <cstdint>

#include "ChunkingParameters.h"

class ChunkCompressor {
public:
    explicit ChunkCompressor(const Compression& compression) : compression_(compression) {}

    // The compressed size, at most size. Throws std::bad_alloc when the
    // library cannot get the memory it needs.
    std::uint64_t countedSize(const unsigned char* chunk, std::size_t size) const;

    // What the codec itself writes for the chunk, even when larger than it.
    std::uint64_t compressedSize(const unsigned char* chunk, std::size_t size) const;

private:
    const Compression compression_;
};

#endif
