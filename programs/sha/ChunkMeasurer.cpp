#include "ChunkMeasurer.h"

ChunkMeasurer::ChunkMeasurer(const unsigned char* templateChunk, int chunkSize, int windowSize,
                             Messages& messages)
    : template_chunk(templateChunk),
      chunk_size(chunkSize),
      window_size(windowSize),
      messages(messages),
      templateChunkConcordance(templateChunk, chunkSize) {}

void ChunkMeasurer::measure(const unsigned char* chunk) {
    candidateChunkConcordance.computeConcordance(chunk, chunk_size);
    double sim = candidateChunkConcordance.getSimilarity(&templateChunkConcordance);
    if (sim >= -0.01 && sim <= 0.01)
        digest(chunk);
    else
        compareWindows(chunk);
    ++chunk_count;
}

void ChunkMeasurer::digest(const unsigned char* chunk) {
    // The whole chunk is at hand, so the engine takes it in one span; only
    // digested chunks pay for hashing.
    sha.Reset();
    sha.Input(chunk, unsigned(chunk_size));
    unsigned message_digest[5];
    if (!sha.Result(message_digest)) {
        messages.error("could not compute message digest for chunk %lld", static_cast<long long>(chunk_count));
        return;
    }
    store.add_unique(message_digest, &candidateChunkConcordance);
}

void ChunkMeasurer::compareWindows(const unsigned char* chunk) {
    ChunkWindow* list = cs.getChunkSimilarity(template_chunk, chunk, unsigned(chunk_size),
                                              unsigned(window_size));
    ++total_window_linked_lists;
    for (ChunkWindow* window = list; window != nullptr; window = window->next) ++total_windows;
    ChunkWindow::releaseList(list);
}
