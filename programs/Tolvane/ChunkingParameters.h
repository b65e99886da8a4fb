// The parameters of a Tolvane run, with their defaults.
#ifndef DEDUP_TOLVANE_CHUNKINGPARAMETERS_H
#define DEDUP_TOLVANE_CHUNKINGPARAMETERS_H

#include <cstddef>
#include <cstdint>

// How chunk boundaries are found: the rolling fingerprint over a window
// (rabin), the Gear hash (gear), the Gear hash with normalized chunking
// (fastcdc), or fixed-size chunks (fixed).
enum class Chunker { rabin, gear, fastcdc, fixed };

// How the stored chunks are compressed for the data reduction figures.
enum class Codec { none, zstd, lz4 };

struct Compression {
    Codec codec = Codec::none;
    int level = 3;  // zstd's level
};

struct ChunkingParameters {
    std::uint32_t min_chunk_size = 1024;
    std::uint32_t max_chunk_size = 65536;
    std::uint32_t num_comp_bits = 13;
    std::uint32_t window_size = 48;
    std::uint32_t sum_vec_size = 3125;
    bool use_summary_vec = true;
    Chunker chunker = Chunker::rabin;
    bool chunker_named = false;  // --chunker was given: the report says which
    Compression compression;
    // Estimates from the chunks whose digest falls in 1 of `sample` (a power
    // of two); 1 for an exact run, every chunk counted.
    std::uint32_t sample = 1;
};

// The bytes before a read block that its anchors need: the rolling
// fingerprint's window, or the 64 bytes a Gear fingerprint depends on.
inline std::size_t contextBytes(const ChunkingParameters& params) {
    return params.chunker == Chunker::rabin ? params.window_size : 64;
}

#endif
