// The parameters of a Tolvane run, with their defaults.
#ifndef DEDUP_TOLVANE_CHUNKINGPARAMETERS_H
#define DEDUP_TOLVANE_CHUNKINGPARAMETERS_H

#include <cstdint>

struct ChunkingParameters {
    std::uint32_t min_chunk_size = 1024;
    std::uint32_t max_chunk_size = 65536;
    std::uint32_t num_comp_bits = 13;
    std::uint32_t window_size = 48;
    std::uint32_t sum_vec_size = 3125;
    bool use_summary_vec = true;
};

#endif
