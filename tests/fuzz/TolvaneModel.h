// What a Tolvane run must report, computed the plain way: the fingerprint
// of the window recomputed as a polynomial in base 7 (no table, no big
// numbers), chunks closed by the same rules, and duplicates found by
// comparing the chunks' bytes instead of their digests. The gear chunkers
// hash each chunk from its first byte, one byte at a time, with their table
// generated here from its documented generator.
#ifndef DEDUP_FUZZ_TOLVANEMODEL_H
#define DEDUP_FUZZ_TOLVANEMODEL_H

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct TolvaneParameters {
    std::uint64_t min_chunk_size = 1024;
    std::uint64_t max_chunk_size = 65536;
    unsigned num_comp_bits = 13;
    unsigned window_size = 48;
};

class TolvaneModel {
public:
    // chunker: the --chunker value, gear, fastcdc or fixed; rabin or empty
    // (no option) for the rolling fingerprint.
    explicit TolvaneModel(const TolvaneParameters& parameters, const std::string& chunker = std::string())
        : parameters_(parameters), chunker_(chunker) {}

    // Chunks one file of the run; returns its per-file line without the path:
    // duplicate chunks, a space, chunks.
    std::string addFile(const std::string& bytes);

    std::uint64_t storedChunks() const { return seen_.size(); }
    std::uint64_t totalChunks() const { return total_chunks_; }
    std::uint64_t duplicates() const { return duplicates_; }
    std::uint64_t sumOfSquares() const { return sum_of_squares_; }
    std::uint64_t byteCount() const { return byte_count_; }

private:
    // The chunks' end offsets for gear, fastcdc and fixed.
    std::vector<std::size_t> cutsWithoutWindow(const std::string& bytes) const;
    // Records one chunk; true when its bytes were seen before.
    bool record(const std::string& chunk);

    TolvaneParameters parameters_;
    std::string chunker_;
    std::set<std::string> seen_;
    std::uint64_t total_chunks_ = 0;
    std::uint64_t duplicates_ = 0;
    std::uint64_t sum_of_squares_ = 0;
    std::uint64_t byte_count_ = 0;
};

#endif
