// Measures complete chunks against the all-zero template and keeps the
// run's counts: a chunk with at most 1% non-zero bytes is digested and its
// fingerprint kept once; any other is compared window by window.
#ifndef DEDUP_SHA_CHUNKMEASURER_H
#define DEDUP_SHA_CHUNKMEASURER_H

#include <cstdint>

#include "ChunkSimilarity.h"
#include "Concordance.h"
#include "FingerPrintLinkedList.h"
#include "Messages.h"
#include "sha1.h"

class ChunkMeasurer {
public:
    // templateChunk: chunkSize zero bytes, kept by the caller for the run.
    // Messages about single chunks go to messages.
    ChunkMeasurer(const unsigned char* templateChunk, int chunkSize, int windowSize, Messages& messages);

    ChunkMeasurer(const ChunkMeasurer&) = delete;
    ChunkMeasurer& operator=(const ChunkMeasurer&) = delete;

    // chunk: the chunkSize bytes of the next chunk.
    void measure(const unsigned char* chunk);

    std::int64_t chunkCount() const { return chunk_count; }
    std::int64_t distinctFingerprints() const { return store.size(); }
    std::int64_t windowLinkedLists() const { return total_window_linked_lists; }
    std::int64_t windows() const { return total_windows; }

private:
    void digest(const unsigned char* chunk);
    void compareWindows(const unsigned char* chunk);

    const unsigned char* template_chunk;
    const int chunk_size;
    const int window_size;
    Messages& messages;

    SHA1 sha;
    FingerPrintLinkedList store;
    ChunkSimilarity cs;
    Concordance templateChunkConcordance;
    Concordance candidateChunkConcordance;

    std::int64_t chunk_count = 0;
    std::int64_t total_window_linked_lists = 0;
    std::int64_t total_windows = 0;
};

#endif
