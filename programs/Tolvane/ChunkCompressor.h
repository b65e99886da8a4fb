// Compresses one chunk on its own, on any thread, and gives the bytes it is
// counted at: zstd's one-shot frame at the run's level (with the content
// size, without a checksum), or lz4's block format. A chunk that does not
// shrink counts at its own size, as a store would keep it uncompressed.
#ifndef DEDUP_TOLVANE_CHUNKCOMPRESSOR_H
#define DEDUP_TOLVANE_CHUNKCOMPRESSOR_H

#include <cstddef>
#include <cstdint>

#include "ChunkingParameters.h"
#include "SampleEstimates.h"

class ChunkCompressor {
public:
    // In a sample of 1 in `sample`, only sampled chunks count: the others
    // need not be compressed.
    ChunkCompressor(const Compression& compression, std::uint32_t sample)
        : compression_(compression), sample_(sample) {}

    // Whether the chunk of this digest is to be compressed.
    bool wants(const unsigned digest[5]) const { return sample_ == 1 || inSample(digest, sample_); }

    // The compressed size, at most size. Throws std::bad_alloc when the
    // library cannot get the memory it needs.
    std::uint64_t countedSize(const unsigned char* chunk, std::size_t size) const;

    // What the codec itself writes for the chunk, even when larger than it.
    std::uint64_t compressedSize(const unsigned char* chunk, std::size_t size) const;

private:
    const Compression compression_;
    const std::uint32_t sample_;
};

#endif
