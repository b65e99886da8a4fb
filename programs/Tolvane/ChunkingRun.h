// The state of one Tolvane run: the rolling fingerprint, the SHA-1 engine,
// the fingerprint store shared by all files, and the counters of the report.
#ifndef DEDUP_TOLVANE_CHUNKINGRUN_H
#define DEDUP_TOLVANE_CHUNKINGRUN_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Clock.h"
#include "FingerprintStore.h"
#include "InputFile.h"
#include "Messages.h"
#include "OutputStream.h"
#include "rabin.h"
#include "sha1.h"

struct ChunkingParameters {
    std::uint32_t min_chunk_size = 1024;
    std::uint32_t max_chunk_size = 65536;
    std::uint32_t num_comp_bits = 13;
    std::uint32_t window_size = 48;
    std::uint32_t sum_vec_size = 3125;
    bool use_summary_vec = true;
};

class ChunkingRun {
public:
    ChunkingRun(const ChunkingParameters& params, OutputStream& out, Messages& messages);

    // Builds the rolling fingerprint; its table is part of the timed work.
    void createFingerprint();

    // Chunks one listed file and writes its line; false when it could not be
    // opened or read.
    bool processFile(const std::string& path);

    void printReport(hrtime_t start_time, hrtime_t end_time);

private:
    void closeChunk();
    void chunkSpan(const unsigned char* bytes, std::size_t count);
    bool finishFile(InputFile& file, const std::string& path);

    const ChunkingParameters params_;
    OutputStream& out_;
    Messages& messages_;

    SHA1 sha_;
    FingerprintStore store_;
    std::unique_ptr<Rabin> rabin_;
    std::vector<unsigned char> window_;
    std::vector<unsigned char> block_;
    std::vector<std::uint64_t> anchor_bits_;
    unsigned sha_value_[5] = {0, 0, 0, 0, 0};

    std::uint64_t total_chunks_ = 0;
    std::uint64_t num_chunks_this_file_only_ = 0;
    std::uint64_t copy_found_ = 0;
    std::uint64_t false_pos_ = 0;
    std::uint64_t on_disk_hash_lookup_total_ = 0;
    std::uint64_t anchor_counter_ = 0;
    std::uint64_t byte_counter_ = 0;
    std::uint64_t sumsqr_chunksize_ = 0;
    std::uint64_t chunk_size_ = 0;
};

#endif
