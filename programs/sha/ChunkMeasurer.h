// Measures complete chunks against the all-zero template: a chunk with at
// most 1% non-zero bytes is digested and its fingerprint kept once; any
// other is compared window by window. Measuring a chunk needs nothing but
// the chunk, so it may run on any thread; the tally that keeps the run's
// counts and fingerprints takes the measurements in chunk order.
#ifndef DEDUP_SHA_CHUNKMEASURER_H
#define DEDUP_SHA_CHUNKMEASURER_H

#include <cstdint>

#include "Concordance.h"
#include "FingerPrintLinkedList.h"
#include "Messages.h"

// What one chunk gave.
struct ChunkMeasurement {
    double fraction_non_zeros = 0;  // the chunk's concordance
    bool near_empty = false;       // digested, not compared
    bool digest_computed = false;  // the engine gave a digest
    unsigned digest[5] = {0, 0, 0, 0, 0};
    std::int64_t windows = 0;      // windows of the returned list (0 when none came back)
};

// The comparison of chunks with the template; measure() may be called on
// several threads at once.
class ChunkComparison {
public:
    // templateChunk: chunkSize zero bytes, kept by the caller for the run.
    ChunkComparison(const unsigned char* templateChunk, int chunkSize, int windowSize);

    // chunk: the chunkSize bytes of a chunk.
    ChunkMeasurement measure(const unsigned char* chunk) const;

    int chunkSize() const { return chunk_size; }

private:
    const unsigned char* template_chunk;
    const int chunk_size;
    const int window_size;
    const Concordance templateChunkConcordance;
};

class ChunkMeasurer {
public:
    // templateChunk: chunkSize zero bytes, kept by the caller for the run.
    // Messages about single chunks go to messages.
    ChunkMeasurer(const unsigned char* templateChunk, int chunkSize, int windowSize, Messages& messages);

    ChunkMeasurer(const ChunkMeasurer&) = delete;
    ChunkMeasurer& operator=(const ChunkMeasurer&) = delete;

    // chunk: the chunkSize bytes of the next chunk.
    void measure(const unsigned char* chunk) { tally(comparison.measure(chunk)); }
    // The next chunk's measurement, in chunk order.
    void tally(const ChunkMeasurement& measurement);

    const ChunkComparison& chunkComparison() const { return comparison; }

    std::int64_t chunkCount() const { return chunk_count; }
    std::int64_t distinctFingerprints() const { return store.size(); }
    std::int64_t windowLinkedLists() const { return total_window_linked_lists; }
    std::int64_t windows() const { return total_windows; }

private:
    const ChunkComparison comparison;
    Messages& messages;

    FingerPrintLinkedList store;

    std::int64_t chunk_count = 0;
    std::int64_t total_window_linked_lists = 0;
    std::int64_t total_windows = 0;
};

#endif
