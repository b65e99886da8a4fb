// Compares a candidate chunk with a template chunk window by window and
// lists the candidate's differing windows, when listing them is cheaper
// than keeping the chunk.
#ifndef DEDUP_SHA_CHUNKSIMILARITY_H
#define DEDUP_SHA_CHUNKSIMILARITY_H

#include "ChunkWindow.h"

class ChunkSimilarity {
public:
    // Windows are windowSize bytes; when chunkSize is not a multiple of it,
    // the last chunkSize mod windowSize bytes form a shorter last window.
    // Every differing window is charged windowSize + 8 bytes. Returns the
    // list of differing windows (first one in the head, later ones carrying
    // their index in offset) when the charge stays below chunkSize; a single
    // empty head when nothing differs; null when the charge reaches
    // chunkSize, or when windowSize is 0 (windows of no bytes describe
    // nothing). The caller owns the list: ChunkWindow::releaseList.
    ChunkWindow* getChunkSimilarity(const unsigned char* templateChunk,
                                    const unsigned char* candidateChunk,
                                    unsigned chunkSize, unsigned windowSize);

private:
    bool equals(const unsigned char* dataA, const unsigned char* dataB, unsigned numBytes) const;
};

#endif
