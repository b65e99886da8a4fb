// What becomes of each chunk, in chunk order: its fingerprint is looked up in
// the store (through the summary vector when it is in use), and the run's
// counters, the file's counts, the chunk-size histogram and the trace follow.
#ifndef DEDUP_TOLVANE_CHUNKRECORDER_H
#define DEDUP_TOLVANE_CHUNKRECORDER_H

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "ChunkingParameters.h"
#include "FingerprintStore.h"
#include "SampleEstimates.h"

class ChunkTrace;

// The counts of one listed file.
struct FileResult {
    // Why an entry was not read to its end.
    enum class Problem {
        none,
        nul_byte,     // the entry holds a NUL byte: it names no file
        open_failed,  // error_number says why
        read_failed,  // error_number says why
        output,       // the entry is a file the run writes (the trace)
    };

    std::string path;
    std::uint64_t chunks = 0;      // num_chunks_this_file_only
    std::uint64_t duplicates = 0;  // copy_found (in a sampled run: among the sampled chunks)
    SquareSum duplicate_squares = 0;  // sampled: over its fingerprints, the square of their copies here
    std::uint64_t bytes = 0;       // bytes read from it
    bool read = false;             // opened and read to its end
    Problem problem = Problem::none;
    int error_number = 0;
    std::uint64_t entry_number = 0;  // its place in the list, counting from 1
    std::string error;               // why it was not read, as the driver words it
};

// The figures of the whole run.
struct RunTotals {
    std::uint64_t total_chunks = 0;
    std::uint64_t false_pos = 0;
    std::uint64_t on_disk_hash_lookup_total = 0;
    std::uint64_t byte_counter = 0;
    std::uint64_t sumsqr_chunksize = 0;
    std::uint64_t chunked_bytes = 0;  // bytes of the recorded chunks
    std::uint64_t unique_bytes = 0;   // bytes of the chunks new to the store
    std::uint64_t compressed_stored_bytes = 0;  // with compression: the stored chunks' counted sizes
    // In a sampled run the store, its counters, unique_bytes and
    // compressed_stored_bytes see only the sampled chunks; besides:
    std::uint64_t sampled_chunks = 0;
    SquareSum unique_squares = 0;      // over the stored chunks, their sizes squared
    SquareSum compressed_squares = 0;  // and their compressed sizes squared
    SquareSum duplicate_squares = 0;   // over the stored fingerprints, the square of their later copies
    // Bucket 0: chunks of 0 bytes; bucket k + 1: sizes 2^k to 2^(k+1) - 1.
    std::array<std::uint64_t, 66> size_histogram{};
};

class ChunkRecorder {
public:
    // listings: where the store's listings would go.
    ChunkRecorder(const ChunkingParameters& params, std::FILE* listings);

    // Chunks are written to the trace as they are recorded; null for none.
    void setTrace(ChunkTrace* trace) { trace_ = trace; }

    void beginFile(const std::string& path);
    // Bytes read from the current file.
    void addBytes(std::uint64_t count);
    // One chunk of the current file, in order: its digest words, its size,
    // its offset in the file and, with compression, its compressed size.
    void record(const unsigned digest[5], std::uint64_t size, std::uint64_t offset,
                std::uint64_t compressed_size = 0);
    FileResult& currentFile() { return file_; }

    const RunTotals& totals() const { return totals_; }
    std::uint64_t storedChunks() const { return store_.stored(); }
    // The store the chunks are looked up in, for fetching ahead what
    // record will read.
    const FingerprintStore& store() const { return store_; }

    std::uint32_t sample() const { return sample_; }

private:
    // A 160-bit digest as a key; its bits are uniform, so a word of it is
    // hash enough.
    struct Digest {
        unsigned words[5];
        bool operator==(const Digest& other) const;
    };
    struct DigestHash {
        std::size_t operator()(const Digest& digest) const { return digest.words[1] | std::size_t{digest.words[2]} << 31; }
    };
    // A sampled chunk already stored: its copies are counted for the
    // variance of the duplicates.
    void countCopy(const unsigned digest[5]);

    const bool use_summary_vec_;
    const std::uint32_t sample_;
    FingerprintStore store_;
    std::unordered_map<Digest, std::uint64_t, DigestHash> run_copies_;   // later copies in the run
    std::unordered_map<Digest, std::uint64_t, DigestHash> file_copies_;  // copies in the current file
    ChunkTrace* trace_ = nullptr;
    FileResult file_;
    RunTotals totals_;
};

// The histogram bucket of a chunk size.
std::size_t sizeBucket(std::uint64_t size);

#endif
